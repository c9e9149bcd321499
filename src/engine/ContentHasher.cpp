#include "ContentHasher.h"

#include "app/modAPI_scan.h"

#include <isa-l/crc.h>
#include <openssl/evp.h>
#include <xxhash.h>

#include <algorithm>
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
    : m_buffer(kReadBytes), m_place(std::make_unique<modAPI::ScanPlace>()) {
    m_xxh = XXH3_createState();
}

ContentHasher::~ContentHasher() {
    XXH3_freeState(static_cast<XXH3_state_t*>(m_xxh));
    EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(m_md5));
}

int ContentHasher::HashFile(const char* path, quint64 device, quint64 inode, Mode mode,
                            Signature& out, const std::atomic<bool>* cancel) {
    modAPI::ScanReader reader;
    if (const int err = reader.Open(path, device, inode))
        return err;
    return Hash(reader, mode, out, cancel);
}

int ContentHasher::HashFileIn(std::string_view folder, const std::string& name, quint64 device,
                              quint64 inode, Mode mode, Signature& out,
                              const std::atomic<bool>* cancel) {
    if (folder != m_placePath || m_place->Handle() < 0) {
        m_placePath = folder;
        if (m_place->Open(m_placePath.c_str()) != 0)
            return HashFile((m_placePath + name).c_str(), device, inode, mode, out, cancel);
    }
    modAPI::ScanReader reader;
    if (const int err = reader.OpenIn(*m_place, name.c_str(), device, inode))
        return err;
    return Hash(reader, mode, out, cancel);
}

int ContentHasher::Hash(modAPI::ScanReader& reader, Mode mode, Signature& out,
                        const std::atomic<bool>* cancel) {
    auto* xxh = static_cast<XXH3_state_t*>(m_xxh);
    EVP_MD_CTX* md5 = nullptr;
    if (mode == Mode::Md5) {
        // Set up on first use: OpenSSL's start-up kept 1.8 MB of a run that never asks for it.
        if (!m_md5)
            m_md5 = EVP_MD_CTX_new();
        md5 = static_cast<EVP_MD_CTX*>(m_md5);
        const EVP_MD* algorithm = Md5Algorithm();
        if (!md5 || !algorithm || !EVP_DigestInit_ex2(md5, algorithm, nullptr))
            return ENOSYS;
    }
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
