#include "XmlReportReader.h"

#include "ResultsModel.h"
#include "XmlReportWriter.h"

#include "app/modXML.h"

#include <string_view>

namespace {

QString Quoted(const QString& text) {
    return u'"' + text + u'"';
}

// The size as the grid writes it ("12 bytes"), and only that spelling: the action run
// compares the file's size with this very text.
bool ParseSize(const QString& text, qint64& size) {
    if (!text.endsWith(QStringLiteral(" bytes")))
        return false;
    bool ok = false;
    size = text.chopped(6).toLongLong(&ok);
    return ok && size >= 0 && ResultsModel::SizeText(size) == text;
}

} // namespace

bool XmlReportReader::Refuse(const QString& reason) {
    m_error = reason;
    m_groups.clear();
    return false;
}

bool XmlReportReader::Read(const QString& filePath) {
    m_error.clear();
    m_groups.clear();
    modXML::Document doc;
    QString reason, source;
    if (!modXML::Load(filePath, doc, reason, source))
        return Refuse(source == filePath
                          ? reason
                          : QStringLiteral("it is not an XML document (") + reason + u')');
    const pugi::xml_node root = doc.Root();
    if (!root || std::string_view(root.name()) != "duplicates")
        return Refuse(QStringLiteral("it is not a duplicates report"));

    for (pugi::xml_node g = root.first_child(); g; g = g.next_sibling()) {
        if (g.type() != pugi::node_element)
            continue;
        const std::optional<QString> caption = modXML::Attribute(g, QStringLiteral("group"));
        if (std::string_view(g.name()) != "filedetails" || !caption)
            return Refuse(QStringLiteral("it is not a duplicates report"));
        Group group;
        group.Caption = *caption;
        if (group.Caption.contains(QChar(0)))
            return Refuse(QStringLiteral("a group caption holds a NUL character"));
        XmlReportMarks marks;
        for (pugi::xml_node f = g.first_child(); f; f = f.next_sibling()) {
            if (f.type() != pugi::node_element)
                continue;
            if (std::string_view(f.name()) != "file")
                return Refuse(QStringLiteral("the group %1 holds an element that is not a file")
                                  .arg(Quoted(group.Caption)));
            File file;
            ExportRecord& r = file.Record;
            const auto text = [&f](const char* name) {
                return modXML::AttributeText(f, QLatin1String(name));
            };
            r.FileName = text("name");
            r.FileLocation = text("location");
            r.FileSize = text("size");
            r.Created = text("created");
            r.Modified = text("modified");
            r.Attributes = text("attributes");
            r.CRC = text("crc");
            r.MD5 = text("md5");
            r.Status = text("status");
            const QString where = QStringLiteral("file %1 of the group %2")
                                      .arg(group.Files.size() + 1)
                                      .arg(Quoted(group.Caption));
            // Only absolute paths: a relative one would be acted on wherever the program
            // happened to run.
            if (!r.FileLocation.startsWith(u'/'))
                return Refuse(where + QStringLiteral(" has no full path"));
            if (!ParseSize(r.FileSize, file.Size) ||
                __builtin_add_overflow(group.Total, file.Size, &group.Total))
                return Refuse(where + QStringLiteral(" has no size in bytes"));
            if (!r.Status.isEmpty() && r.Status != u"deleted")
                return Refuse(where + QStringLiteral(" has an unknown status ") + Quoted(r.Status));
            // The results keep each row's texts NUL-separated; no name or path holds one.
            for (const QString* value : {&r.FileName, &r.FileLocation, &r.Created, &r.Modified,
                                         &r.Attributes, &r.CRC, &r.MD5})
                if (value->contains(QChar(0)))
                    return Refuse(where + QStringLiteral(" holds a NUL character"));
            const bool assumed = marks.Assumed(r.Status);
            const QString marked = text("marked");
            if (marked.isEmpty())
                r.Marked = assumed;
            else if (marked == u"yes" || marked == u"no")
                r.Marked = marked == u"yes";
            else
                return Refuse(where + QStringLiteral(" has an unknown mark ") + Quoted(marked));
            group.Files.push_back(std::move(file));
        }
        // The group commands walk as many rows as the caption counts.
        const qint64 count = ResultsModel::GetGroupFileCount(group.Caption);
        if (group.Files.empty() || count != qint64(group.Files.size()))
            return Refuse(QStringLiteral("the group %1 lists %2 files")
                              .arg(Quoted(group.Caption))
                              .arg(group.Files.size()));
        m_groups.push_back(std::move(group));
    }
    return true;
}

void XmlReportReader::Fill(ResultsModel& model) const {
    model.ClearRecs();
    model.SetRedraw(false);
    for (const Group& group : m_groups) {
        const qint64 header = model.AddHeader(group.Caption);
        for (const File& file : group.Files) {
            const ExportRecord& r = file.Record;
            model.AddRow(!r.Marked.value_or(true),
                         {.FileName = r.FileName,
                          .FilePath = r.FileLocation,
                          .CreateDateTime = r.Created,
                          .ModifiedDateTime = r.Modified,
                          .FileSize = file.Size,
                          .FileAttributes = r.Attributes,
                          .CRC32 = r.CRC,
                          .MD5 = r.MD5},
                         {});
            if (r.Status == u"deleted")
                model.SetFlag(model.RowCount(), ResultsModel::FlagStruck, true);
        }
        model.UpdateHeadTotal(header, group.Total);
    }
    model.SetRedraw(true);
    if (model.RowCount() > 0)
        model.SetCurrent(1, 1);
}
