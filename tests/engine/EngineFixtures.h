#pragma once

// Recording ends of the engine's two interfaces, and a helper that runs a scan over real
// folders and returns its groups.

#include "TestSupport.h"

#include "engine/GroupingPass.h"
#include "engine/ResultSink.h"
#include "engine/ScanObserver.h"
#include "engine/clsFileDetails.h"
#include "engine/clsFindFile.h"

#include <QStringList>

#include <functional>
#include <vector>

#include <ostream>

// Readable failure messages for the Qt texts the tests compare.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace engine_test {

// Every sink call as one line of text, and the groups as lists of paths.
class RecordingSink final : public ResultSink {
public:
    void ClearRecs() override { Calls << QStringLiteral("ClearRecs"); }
    qint64 AddHeader(const QString& fileName) override {
        Calls << QStringLiteral("AddHeader ") + fileName;
        Groups.emplace_back();
        return ++m_rows;
    }
    void AddRow(bool firstRecord, const QString& fileName, const QString& filePath, const QString&,
                const QString&, qint64 fileSize, const QString& attributes, const QString& version,
                const QString& crc32, const QString& md5) override {
        Calls << QStringLiteral("AddRow %1 %2 %3").arg(firstRecord).arg(fileName).arg(fileSize);
        Groups.back() << filePath;
        Attributes << attributes;
        Versions << version;
        Crcs << crc32;
        Md5s << md5;
        ++m_rows;
    }
    void UpdateHeadTotal(qint64 rowNo, qint64 total) override {
        Calls << QStringLiteral("UpdateHeadTotal %1 %2").arg(rowNo).arg(total);
    }
    qint64 UpdateHeader(qint64 rowNo, const QString& text) override {
        Calls << QStringLiteral("UpdateHeader %1 %2").arg(rowNo).arg(text);
        return 1;
    }

    QStringList Calls;
    std::vector<QStringList> Groups;
    QStringList Attributes, Versions, Crcs, Md5s;

private:
    qint64 m_rows = 0;
};

class RecordingObserver final : public ScanObserver {
public:
    void DisplayFileName(const QString& path) override {
        Files << path;
        if (OnFile)
            OnFile(path);
    }
    void DisplayStatus(const QString& text) override {
        Statuses << text;
        if (OnStatus)
            OnStatus();
    }
    void Yield() override {
        ++Yields;
        if (OnYield)
            OnYield();
    }

    QStringList Files;
    QStringList Statuses;
    int Yields = 0;
    std::function<void(const QString&)> OnFile;
    std::function<void()> OnStatus;
    std::function<void()> OnYield;
};

// Paths relative to a root, for readable comparisons.
inline std::vector<QStringList> Relative(const std::vector<QStringList>& groups,
                                         const QString& root) {
    std::vector<QStringList> out;
    for (const QStringList& g : groups) {
        QStringList rel;
        for (const QString& p : g)
            rel << (p.startsWith(root) ? p.mid(root.size()) : p);
        out.push_back(rel);
    }
    return out;
}

// Scans the folders with the settings the caller gives and returns the sink.
inline RecordingSink Scan(clsFindFile& scan, const QStringList& folders,
                          RecordingObserver* observer = nullptr) {
    FileList list;
    scan.SetObserver(observer);
    EXPECT_EQ(scan.ScanFolders(folders, list), 1);
    RecordingSink sink;
    GroupingPass(list, sink, observer);
    return sink;
}

inline void ContentScan(clsFindFile& scan, const QString& type) {
    scan.MatchName = false;
    scan.ContentMatch = true;
    scan.MatchType = type;
    scan.IncludeSubFolder = true;
}

} // namespace engine_test
