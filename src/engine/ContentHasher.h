#pragma once

#include "FileList.h"

#include <array>
#include <atomic>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace modAPI {
class ScanBatch;
class ScanPlace;
class ScanReader;
} // namespace modAPI

// Reads one file and computes its signature. One hasher per thread: it owns its read
// buffer and digest states, so a scan allocates nothing per file.
class ContentHasher {
public:
    enum class Mode {
        Crc,    // CRC-32 and XXH3-128 in the same read
        Md5,    // MD5
        Xxh,    // XXH3-128 only: tells identical files apart at memory speed
        Prefix, // XXH3-128 of the first PrefixBytes only, to split same-size files cheaply
    };
    static constexpr size_t PrefixBytes = 4096;

    ContentHasher();
    ~ContentHasher();
    ContentHasher(const ContentHasher&) = delete;
    ContentHasher& operator=(const ContentHasher&) = delete;

    // 0, or the errno code of the failure (ECANCELED when cancel was set during the read).
    // A non-zero device or inode must match the file that is opened.
    int HashFile(const char* path, quint64 device, quint64 inode, Mode mode, Signature& out,
                 const std::atomic<bool>* cancel = nullptr);
    // The same for a file of a folder: the folder stays open for the next file of it.
    int HashFileIn(std::string_view folder, const char* name, quint64 device, quint64 inode,
                   Mode mode, Signature& out, const std::atomic<bool>* cancel);

    // The same for several files, best in the order of their folders: they are opened,
    // checked and closed together in a few calls to the kernel, and those that fit the read
    // buffer together are read together too. At most modAPI::ScanBatch::Most.
    struct FileIn {
        std::string_view Folder;
        const char* Name;
        quint64 Device;
        quint64 Inode;
        Signature* Out;
        int* Error; // as HashFileIn returns it
    };
    void HashAll(std::span<const FileIn> files, Mode mode, const std::atomic<bool>* cancel);

    // The same digests over a buffer in memory.
    static Signature HashBytes(const void* data, size_t size, Mode mode);

    // Adds every read's bytes as it is made, so a reader of the count sees a large file
    // move instead of a jump at its end.
    void CountReadsIn(std::atomic<qint64>* bytes) { m_bytesRead = bytes; }

    // Lets go of the folders held open for the files read so far. A reader kept for the
    // next stage of a scan holds none in between: a folder is reached again from its path.
    void ReleaseFolders();

private:
    int Hash(modAPI::ScanReader& reader, Mode mode, Signature& out,
             const std::atomic<bool>* cancel);
    // A whole read already in memory, as Hash would have signed it.
    int Sign(const char* data, size_t size, Mode mode, Signature& out);
    // The MD5 context, ready for a new digest; null when OpenSSL cannot give one.
    void* StartMd5();
    bool HoldPlace(std::string_view folder);
    // Files of at most kPlaces folders, each one held open.
    void HashTogether(std::span<const FileIn> files, Mode mode, const std::atomic<bool>* cancel);
    static constexpr size_t kPlaces = 4;

    std::vector<char> m_buffer;
    std::unique_ptr<modAPI::ScanPlace> m_place;
    std::unique_ptr<modAPI::ScanBatch> m_batch; // set up at the first files read together
    std::string m_placePath;
    std::unique_ptr<modAPI::ScanPlace[]> m_places; // kPlaces: the folders of files read together
    std::array<std::string, kPlaces> m_placePaths;
    void* m_xxh = nullptr; // XXH3_state_t*
    void* m_md5 = nullptr; // EVP_MD_CTX*
    std::atomic<qint64>* m_bytesRead = nullptr;
};
