#include "ActionWords.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<RemoveMethod, const char*>, 6> Methods{{
    {RemoveMethod::Trash, "recycle"},
    {RemoveMethod::Permanent, "permanent"},
    {RemoveMethod::Move, "move"},
    {RemoveMethod::Zip, "zip"},
    {RemoveMethod::HardLink, "hardlink"},
    {RemoveMethod::Clone, "clone"},
}};

constexpr std::array<std::pair<ReportFormat, const char*>, 4> Formats{{
    {ReportFormat::Text, "text"},
    {ReportFormat::Csv, "csv"},
    {ReportFormat::Html, "html"},
    {ReportFormat::Xml, "xml"},
}};

template <typename Enum, std::size_t N>
Enum Find(const std::array<std::pair<Enum, const char*>, N>& table, const QString& word) {
    for (const auto& [value, text] : table)
        if (word == QLatin1String(text))
            return value;
    return Enum::Unknown;
}

template <typename Enum, std::size_t N>
QString Name(const std::array<std::pair<Enum, const char*>, N>& table, Enum value) {
    for (const auto& [v, text] : table)
        if (v == value)
            return QLatin1String(text);
    return {};
}

} // namespace

namespace ActionWords {

RemoveMethod MethodOf(const QString& deleteTo) {
    return deleteTo.isEmpty() ? RemoveMethod::Trash : Find(Methods, deleteTo);
}

QString Word(RemoveMethod method) {
    return Name(Methods, method);
}

ReportFormat FormatOf(const QString& format) {
    return Find(Formats, format);
}

QString Word(ReportFormat format) {
    return Name(Formats, format);
}

} // namespace ActionWords
