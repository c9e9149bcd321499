#pragma once

// Recording ends of the engine's two interfaces and one fixture: an application folder
// whose temporary tree the scans run over.

#include "TestSupport.h"

#include "engine/GroupingPass.h"
#include "engine/ResultSink.h"
#include "engine/ScanObserver.h"
#include "engine/clsFileDetails.h"
#include "engine/clsFindFile.h"

#include <QFile>
#include <QHash>
#include <QStringList>

#include <functional>
#include <ostream>
#include <vector>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace testing_support;

// Readable failure messages for the Qt texts the tests compare.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace engine_test {

using Groups = std::vector<QStringList>;

// Every sink call as one line of text, and the groups as lists of paths.
class RecordingSink final : public ResultSink {
public:
    void ClearRecs() override { Calls << u"ClearRecs"_s; }
    qint64 AddHeader(const QString& fileName) override {
        Calls << u"AddHeader "_s + fileName;
        Paths.emplace_back();
        return ++m_rows;
    }
    void AddRow(bool firstRecord, const QString& fileName, const QString& filePath, const QString&,
                const QString&, qint64 fileSize, const QString&, const QString&,
                const QString& crc32, const QString& md5, const FileIdentity& identity) override {
        Calls << u"AddRow %1 %2 %3"_s.arg(firstRecord).arg(fileName).arg(fileSize);
        Paths.back() << filePath;
        Identities[filePath] = identity;
        Crcs << crc32;
        Md5s << md5;
        ++m_rows;
    }
    void UpdateHeadTotal(qint64 rowNo, qint64 total) override {
        Calls << u"UpdateHeadTotal %1 %2"_s.arg(rowNo).arg(total);
    }
    qint64 UpdateHeader(qint64 rowNo, const QString& text) override {
        Calls << u"UpdateHeader %1 %2"_s.arg(rowNo).arg(text);
        return 1;
    }

    QStringList Calls;
    Groups Paths;
    QStringList Crcs, Md5s;
    QHash<QString, FileIdentity> Identities;

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
    void DisplayStatus(const QString&) override {
        if (OnStatus)
            OnStatus();
    }
    void Yield() override {}

    QStringList Files;
    std::function<void(const QString&)> OnFile;
    std::function<void()> OnStatus;
};

inline void ContentScan(clsFindFile& scan, const QString& type) {
    scan.MatchName = false;
    scan.ContentMatch = true;
    scan.MatchType = type;
    scan.IncludeSubFolder = true;
}

class EngineTest : public ::testing::Test {
protected:
    AppFolder app;
    const TempTree& t = app.Tree();

    QString P(const QString& rel) const { return t.Path(rel); }

    void Fifo(const QString& rel) const {
        ASSERT_EQ(::mkfifo(QFile::encodeName(P(rel)).constData(), 0644), 0);
    }

    // Groups with paths relative to the tree, for readable comparisons.
    Groups Rel(const Groups& groups) const {
        Groups out;
        for (const QStringList& g : groups) {
            QStringList rel;
            for (const QString& p : g)
                rel << (p.startsWith(t.Root()) ? p.mid(t.Root().size()) : p);
            out.push_back(rel);
        }
        return out;
    }

    // Runs the scan over the folders and hands its list to the grouping pass.
    RecordingSink Scan(clsFindFile& scan, const QStringList& folders,
                       RecordingObserver* observer = nullptr) const {
        FileList list;
        scan.SetObserver(observer);
        EXPECT_EQ(scan.ScanFolders(folders, list), 1);
        RecordingSink sink;
        GroupingPass(list, sink, observer);
        return sink;
    }

    static QStringList Names(const FileList& list) {
        QStringList names;
        for (size_t i = 0; i < list.size(); ++i)
            names << list.FileName(list[i]);
        names.sort();
        return names;
    }
};

} // namespace engine_test
