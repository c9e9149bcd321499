#include "ContentHasher.h"

#include "app/modAPI_scan.h"

#include <isa-l/crc.h>
#include <openssl/evp.h>
#include <xxhash.h>
#ifdef ECHOFIND_XXH_DISPATCH
#include <xxh_x86dispatch.h>
#endif

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace {

// Reading in larger parts than this gains nothing from the page cache and costs cache
// misses, and every reading thread holds one buffer; much smaller parts halve the
// throughput.
constexpr size_t kReadBytes = 128 * 1024;

// OpenSSL 3 looks the algorithm up on every init unless it is fetched once.
const EVP_MD* Md5Algorithm() {
    static EVP_MD* md = EVP_MD_fetch(nullptr, "MD5", nullptr);
    return md;
}

// The CRC-32 of zip and PNG (zlib's), folded with carry-less multiplication: several
// times zlib's speed, which matters because "crc" mode computes it over every file it reads.
quint32 Crc32(quint32 crc, const void* data, size_t size) {
    return crc32_gzip_refl(crc, static_cast<const unsigned char*>(data), size);
}

void PutXxh(const XXH128_hash_t& h, quint8* out) {
    XXH128_canonical_t c;
    XXH128_canonicalFromHash(&c, h);
    std::memcpy(out, c.digest, 16);
}

} // namespace

ContentHasher::ContentHasher()
    : m_buffer(kReadBytes), m_place(std::make_unique<modAPI::ScanPlace>()),
      m_places(std::make_unique<modAPI::ScanPlace[]>(kPlaces)) {
    m_xxh = XXH3_createState();
}

ContentHasher::~ContentHasher() {
    XXH3_freeState(static_cast<XXH3_state_t*>(m_xxh));
    EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(m_md5));
}

void ContentHasher::ReleaseFolders() {
    m_place->Close();
    m_placePath.clear();
    for (size_t p = 0; p < kPlaces; ++p) {
        m_places[p].Close();
        m_placePaths[p].clear();
    }
}

int ContentHasher::HashFile(const char* path, quint64 device, quint64 inode, Mode mode,
                            Signature& out, const std::atomic<bool>* cancel) {
    modAPI::ScanReader reader;
    if (const int err = reader.Open(path, device, inode))
        return err;
    return Hash(reader, mode, out, cancel);
}

bool ContentHasher::HoldPlace(std::string_view folder) {
    if (folder != m_placePath || m_place->Handle() < 0) {
        m_placePath = folder;
        return m_place->Open(m_placePath.c_str()) == 0;
    }
    return true;
}

int ContentHasher::HashFileIn(std::string_view folder, const char* name, quint64 device,
                              quint64 inode, Mode mode, Signature& out,
                              const std::atomic<bool>* cancel) {
    if (!HoldPlace(folder))
        return HashFile((m_placePath + name).c_str(), device, inode, mode, out, cancel);
    modAPI::ScanReader reader;
    if (const int err = reader.OpenIn(*m_place, name, device, inode))
        return err;
    return Hash(reader, mode, out, cancel);
}

void ContentHasher::HashAll(std::span<const FileIn> files, Mode mode,
                            const std::atomic<bool>* cancel) {
    if (cancel && cancel->load(std::memory_order_relaxed)) {
        for (const FileIn& f : files)
            *f.Error = ECANCELED;
        return;
    }
    if (!m_batch)
        m_batch = std::make_unique<modAPI::ScanBatch>();
    if (files.size() < 2 || files.size() > modAPI::ScanBatch::Most || !m_batch->Usable()) {
        for (const FileIn& f : files)
            *f.Error = HashFileIn(f.Folder, f.Name, f.Device, f.Inode, mode, *f.Out, cancel);
        return;
    }
    // In parts of at most kPlaces folders.
    size_t begin = 0, folders = 1;
    for (size_t i = 1; i <= files.size(); ++i) {
        if (i < files.size() && files[i].Folder == files[i - 1].Folder)
            continue;
        if (i < files.size() && folders < kPlaces) {
            ++folders;
            continue;
        }
        HashTogether(files.subspan(begin, i - begin), mode, cancel);
        begin = i;
        folders = 1;
    }
}

void ContentHasher::HashTogether(std::span<const FileIn> files, Mode mode,
                                 const std::atomic<bool>* cancel) {
    using modAPI::ScanBatch;
    const size_t count = files.size();
    // Each folder in a place of its own, kept from the files before where it can be.
    std::array<const modAPI::ScanPlace*, ScanBatch::Most> places{};
    std::array<bool, kPlaces> taken{};
    for (size_t i = 0; i < count; ++i) {
        if (i > 0 && files[i].Folder == files[i - 1].Folder) {
            places[i] = places[i - 1];
            continue;
        }
        size_t p = 0;
        while (p < kPlaces && (taken[p] || m_placePaths[p] != files[i].Folder))
            ++p;
        if (p == kPlaces) {
            p = 0;
            while (taken[p])
                ++p;
            m_placePaths[p] = files[i].Folder;
            if (m_places[p].Open(m_placePaths[p].c_str()) != 0)
                m_placePaths[p].clear();
        }
        taken[p] = true;
        places[i] = m_places[p].Handle() >= 0 ? &m_places[p] : nullptr;
    }
    std::array<const char*, ScanBatch::Most> names;
    std::array<quint64, ScanBatch::Most> devices, inodes;
    std::array<modAPI::ScanReader, ScanBatch::Most> readers;
    std::array<int, ScanBatch::Most> opened;
    std::array<size_t, ScanBatch::Most> at; // in files, of each file opened together
    size_t together = 0;
    for (size_t i = 0; i < count; ++i) {
        if (!places[i]) {
            // A folder that cannot be held is read by path, file by file.
            *files[i].Error = HashFileIn(files[i].Folder, files[i].Name, files[i].Device,
                                         files[i].Inode, mode, *files[i].Out, cancel);
            continue;
        }
        places[together] = places[i];
        names[together] = files[i].Name;
        devices[together] = files[i].Device;
        inodes[together] = files[i].Inode;
        at[together++] = i;
    }
    m_batch->OpenIn(together, places.data(), names.data(), devices.data(), inodes.data(),
                    readers.data(), opened.data());
    // What each file needs read, packed into the buffer while it has room; the first read
    // of a file asks for all of it, and a file the buffer cannot take is read the usual way.
    const size_t want = mode == Mode::Prefix ? PrefixBytes : size_t(-1);
    std::array<size_t, ScanBatch::Most> index, sizes;
    std::array<char*, ScanBatch::Most> buffers;
    std::array<modAPI::ScanReader*, ScanBatch::Most> packed;
    std::array<qint64, ScanBatch::Most> got;
    std::array<bool, ScanBatch::Most> done{}, moved{};
    size_t n = 0, used = 0;
    for (size_t j = 0; j < together; ++j) {
        if (opened[j] != 0) {
            *files[at[j]].Error = opened[j];
            done[j] = true;
            continue;
        }
        const size_t bytes = std::min<size_t>(size_t(readers[j].SizeAtOpen()), want);
        if (bytes == 0 || used + bytes > m_buffer.size())
            continue;
        index[n] = j;
        sizes[n] = bytes;
        buffers[n] = m_buffer.data() + used;
        packed[n] = &readers[j];
        moved[j] = true;
        used += bytes;
        ++n;
    }
    m_batch->ReadFirst(n, packed.data(), buffers.data(), sizes.data(), got.data());
    for (size_t k = 0; k < n; ++k) {
        const size_t j = index[k];
        const FileIn& f = files[at[j]];
        if (got[k] == qint64(sizes[k])) {
            if (m_bytesRead)
                m_bytesRead->fetch_add(got[k], std::memory_order_relaxed);
            *f.Error = Sign(buffers[k], sizes[k], mode, *f.Out);
            done[j] = true;
        } else if (got[k] < 0 && got[k] != -EAGAIN && got[k] != -EINVAL && got[k] != -EOPNOTSUPP) {
            *f.Error = int(-got[k]);
            done[j] = true;
        }
    }
    // The rest, and a read cut short (a file shrunk since it was opened, or not all in
    // memory), read the usual way from the start, now that the packed reads are signed.
    for (size_t j = 0; j < together; ++j) {
        if (done[j])
            continue;
        const FileIn& f = files[at[j]];
        const int err = moved[j] ? readers[j].Rewind() : 0;
        *f.Error = err ? err : Hash(readers[j], mode, *f.Out, cancel);
    }
    m_batch->Close(together, readers.data());
}

void* ContentHasher::StartMd5() {
    // Set up on first use: OpenSSL's start-up kept 1.8 MB of a run that never asks for it.
    if (!m_md5)
        m_md5 = EVP_MD_CTX_new();
    auto* md5 = static_cast<EVP_MD_CTX*>(m_md5);
    const EVP_MD* algorithm = Md5Algorithm();
    return md5 && algorithm && EVP_DigestInit_ex2(md5, algorithm, nullptr) ? md5 : nullptr;
}

int ContentHasher::Sign(const char* data, size_t size, Mode mode, Signature& out) {
    if (mode != Mode::Md5) {
        out = HashBytes(data, size, mode);
        return 0;
    }
    // The reader's own context: a one-shot digest would set one up for every file.
    out = Signature{};
    auto* md5 = static_cast<EVP_MD_CTX*>(StartMd5());
    unsigned int length = 0;
    return md5 && EVP_DigestUpdate(md5, data, size) && EVP_DigestFinal_ex(md5, out.Digest, &length)
               ? 0
               : ENOSYS;
}

int ContentHasher::Hash(modAPI::ScanReader& reader, Mode mode, Signature& out,
                        const std::atomic<bool>* cancel) {
    auto* xxh = static_cast<XXH3_state_t*>(m_xxh);
    EVP_MD_CTX* md5 = nullptr;
    if (mode == Mode::Md5 && !(md5 = static_cast<EVP_MD_CTX*>(StartMd5())))
        return ENOSYS;
    XXH3_128bits_reset(xxh);
    quint32 crc = 0;
    const size_t want = mode == Mode::Prefix ? PrefixBytes : size_t(-1);
    const qint64 known = reader.SizeAtOpen();
    size_t total = 0;
    while (total < want) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return ECANCELED;
        int err = 0;
        const qint64 n = reader.Read(m_buffer.data(), std::min(m_buffer.size(), want - total), err);
        if (n < 0)
            return err;
        if (n == 0)
            break;
        const auto* bytes = reinterpret_cast<const unsigned char*>(m_buffer.data());
        if (mode == Mode::Md5) {
            EVP_DigestUpdate(md5, bytes, size_t(n));
        } else {
            XXH3_128bits_update(xxh, bytes, size_t(n));
            if (mode == Mode::Crc)
                crc = Crc32(crc, bytes, size_t(n));
        }
        total += size_t(n);
        if (m_bytesRead)
            m_bytesRead->fetch_add(n, std::memory_order_relaxed);
        // The size at opening is what is hashed; one read less per small file.
        if (qint64(total) == known)
            break;
    }
    out = Signature{};
    if (mode == Mode::Md5) {
        unsigned int length = 0;
        EVP_DigestFinal_ex(md5, out.Digest, &length);
    } else {
        out.Crc = crc;
        PutXxh(XXH3_128bits_digest(xxh), out.Digest);
    }
    return 0;
}

Signature ContentHasher::HashBytes(const void* data, size_t size, Mode mode) {
    Signature s;
    if (mode == Mode::Md5) {
        unsigned int length = 0;
        EVP_Digest(data, size, s.Digest, &length, Md5Algorithm(), nullptr);
        return s;
    }
    if (mode == Mode::Prefix && size > PrefixBytes)
        size = PrefixBytes;
    if (mode == Mode::Crc)
        s.Crc = Crc32(0, data, size);
    PutXxh(XXH3_128bits(data, size), s.Digest);
    return s;
}
