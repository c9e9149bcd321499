#include "DetailsPane.h"

#include "PreviewLoader.h"
#include "ResultsDelegate.h"

#include "actions/ResultsModel.h"
#include "app/PathCodec.h"
#include "app/modLog.h"

#include <QEvent>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QString SideNames[] = {u"Highlighted"_s, u"Kept"_s};
const QString FieldCaptions[] = {u"Path"_s,  u"Size"_s, u"Modified"_s, u"Created"_s,
                                 u"Owner"_s, u"Mode"_s, u"Checksum"_s};
const QString FieldNames[] = {u"path"_s,  u"size"_s, u"modified date"_s, u"created date"_s,
                              u"owner"_s, u"mode"_s, u"checksum"_s};

QString ModeText(QFile::Permissions p) {
    static constexpr std::pair<QFile::Permission, char16_t> bits[] = {
        {QFile::ReadOwner, u'r'}, {QFile::WriteOwner, u'w'}, {QFile::ExeOwner, u'x'},
        {QFile::ReadGroup, u'r'}, {QFile::WriteGroup, u'w'}, {QFile::ExeGroup, u'x'},
        {QFile::ReadOther, u'r'}, {QFile::WriteOther, u'w'}, {QFile::ExeOther, u'x'}};
    QString text;
    for (const auto& [bit, letter] : bits)
        text += p.testFlag(bit) ? QChar(letter) : u'-';
    return text;
}

std::vector<qint64> GroupFiles(const ResultsModel& model, qint64 row) {
    std::vector<qint64> files;
    for (qint64 r = model.GroupHeaderOf(row) + 1; r <= model.RowCount() && !model.IsGroupHeader(r);
         ++r)
        files.push_back(r);
    return files;
}

} // namespace

DetailsPane::DetailsPane(ResultsModel& model, QWidget* parent) : QWidget(parent), m_model(model) {
    setObjectName(u"fraDetails"_s);
    m_loader = new PreviewLoader(this);
    auto* grid = new QGridLayout(this);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    for (int f = 0; f < FieldCount; ++f) {
        auto* caption = new QLabel(FieldCaptions[f], this);
        grid->addWidget(caption, f + 1, 0);
    }
    for (int s = 0; s < 2; ++s) {
        SideBoxes& side = m_sides[s];
        side.Caption = new QLabel(this);
        QFont bold = side.Caption->font();
        bold.setBold(true);
        side.Caption->setFont(bold);
        grid->addWidget(side.Caption, 0, s + 1);
        for (int f = 0; f < FieldCount; ++f) {
            auto* box = new QLineEdit(this);
            box->setObjectName(u"txt"_s + SideNames[s] + FieldCaptions[f]);
            box->setAccessibleName(SideNames[s] + u" file "_s + FieldNames[f]);
            box->setReadOnly(true);
            grid->addWidget(box, f + 1, s + 1);
            side.Fields[f] = box;
        }
        side.Preview = new QLabel(this);
        side.Preview->setObjectName(u"lbl"_s + SideNames[s] + u"Preview"_s);
        side.Preview->setAccessibleName(SideNames[s] + u" file preview"_s);
        side.Preview->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        side.Preview->setTextFormat(Qt::PlainText);
        side.Preview->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // Long lines of a text must not widen the pane; they are cut at its edge.
        side.Preview->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        side.Preview->setFixedHeight(PreviewLoader::MaxSide);
        grid->addWidget(side.Preview, FieldCount + 1, s + 1);
    }
    grid->setRowStretch(FieldCount + 2, 1);

    connect(m_loader, &PreviewLoader::Ready, this, &DetailsPane::ShowPreview);
    // After a new fill the row numbers name other files.
    connect(&m_model, &QAbstractItemModel::modelReset, this, &DetailsPane::Clear);
    // A mark may change which file the group keeps.
    connect(&m_model, &ResultsModel::MarksChanged, this, [this] {
        if (m_row != 0)
            Follow(m_row);
    });
    Clear();
}

DetailsPane::~DetailsPane() = default;

void DetailsPane::Follow(qint64 gridRow) {
    if (gridRow < 1 || gridRow > m_model.RowCount()) {
        Clear();
        return;
    }
    m_row = gridRow;
    m_behind = isHidden();
    if (m_behind)
        return;

    const std::vector<qint64> files = GroupFiles(m_model, gridRow);
    qint64 left = 0, right = 0;
    if (m_model.IsGroupHeader(gridRow)) {
        left = files.size() > 0 ? files[0] : 0;
        right = files.size() > 1 ? files[1] : 0;
    } else {
        const auto unmarked = std::find_if(files.begin(), files.end(),
                                           [this](qint64 r) { return m_model.IsUnmarked(r); });
        const qint64 kept = unmarked != files.end() ? *unmarked : files.front();
        left = gridRow;
        if (kept != gridRow) {
            right = kept;
        } else {
            const auto at = std::find(files.begin(), files.end(), gridRow);
            right = at + 1 != files.end() ? at[1] : at != files.begin() ? at[-1] : 0;
        }
    }
    const bool keptOnRight = right != 0 && right != left && !m_model.IsMarked(right);
    m_sides[Highlighted].Caption->setText(m_model.IsGroupHeader(gridRow) ? u"First file"_s
                                                                         : u"Highlighted file"_s);
    m_sides[Kept].Caption->setText(keptOnRight ? u"Kept file"_s : u"Another file of the group"_s);
    ShowFile(Highlighted, left);
    ShowFile(Kept, right);
    for (int f = 0; f < FieldCount; ++f)
        m_differs[f] = f != Path && left != 0 && right != 0 &&
                       m_sides[0].Fields[f]->text() != m_sides[1].Fields[f]->text();
    Restyle();
}

void DetailsPane::Clear() {
    m_row = 0;
    m_behind = false;
    m_loader->Cancel();
    for (int s = 0; s < 2; ++s) {
        m_sides[s].Caption->setText(s == Highlighted ? u"Highlighted file"_s : u"Kept file"_s);
        ShowFile(Side(s), 0);
    }
    m_differs.fill(false);
    Restyle();
}

void DetailsPane::ShowFile(Side side, qint64 row) {
    SideBoxes& boxes = m_sides[side];
    m_shown[side] = row;
    if (row == 0) {
        for (QLineEdit* box : boxes.Fields)
            box->clear();
        boxes.Preview->clear();
        boxes.PreviewKey.clear();
        boxes.PreviewPath.clear();
        m_loader->Cancel(side);
        return;
    }
    // Two names of identical files always differ, so the path is shown whole but never
    // highlighted.
    const QString path = m_model.Text(row, 3);
    const QFileInfo info(path);
    const bool exists = info.exists();
    const qint64 size = exists ? info.size() : m_model.FileSize(row);
    const QDateTime modified = exists ? info.lastModified() : QDateTime();
    const QString md5 = m_model.Text(row, 9), crc = m_model.Text(row, 8);
    QString texts[FieldCount];
    texts[Path] = PathCodec::Display(path);
    texts[Size] = ResultsModel::SizeText(size);
    texts[Modified] = exists ? modLog::DateText(modified) : m_model.Text(row, 6);
    texts[Created] = exists && info.birthTime().isValid() ? modLog::DateText(info.birthTime())
                                                          : m_model.Text(row, 5);
    if (exists) {
        texts[Owner] = info.owner().isEmpty() ? QString::number(info.ownerId()) : info.owner();
        texts[Mode] = ModeText(info.permissions());
    } else {
        texts[Owner] = m_model.IsStruck(row) ? u"(removed)"_s : u"(file not found)"_s;
    }
    texts[Checksum] = !md5.isEmpty()   ? u"MD5 "_s + md5
                      : !crc.isEmpty() ? u"CRC-32 "_s + crc
                                       : u"(not computed)"_s;
    for (int f = 0; f < FieldCount; ++f) {
        boxes.Fields[f]->setText(texts[f]);
        boxes.Fields[f]->setCursorPosition(0);
    }
    boxes.Fields[Path]->setToolTip(texts[Path]);

    const QString key = path + u'\n' + QString::number(size) + u'\n' +
                        QString::number(modified.toMSecsSinceEpoch());
    if (key == boxes.PreviewKey)
        return;
    boxes.PreviewKey = key;
    boxes.PreviewPath = path;
    boxes.Preview->clear();
    m_loader->Request(side, path, size, modified);
}

void DetailsPane::ShowPreview(int side, const QString& path, const Preview& preview) {
    QLabel* box = m_sides[side].Preview;
    if (path != m_sides[side].PreviewPath)
        return;
    box->setFont(font());
    box->setToolTip(QString());
    switch (preview.What) {
    case Preview::Kind::Image:
        // The only picture work on this thread: the image is already small.
        box->setPixmap(QPixmap::fromImage(preview.Image));
        break;
    case Preview::Kind::Text:
        box->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        box->setText(preview.Text);
        break;
    case Preview::Kind::Icon: {
        QIcon icon = QIcon::fromTheme(preview.IconName, QIcon::fromTheme(preview.GenericIconName));
        if (icon.isNull())
            icon = QFileIconProvider().icon(QFileIconProvider::File);
        box->setPixmap(icon.pixmap(64, 64));
        box->setToolTip(preview.Text);
        break;
    }
    case Preview::Kind::Nothing:
        box->clear();
        break;
    }
    box->setAccessibleDescription(preview.What == Preview::Kind::Icon ? preview.Text : QString());
    Q_EMIT PreviewShown(side, path);
}

void DetailsPane::Restyle() {
    // The palette's selection hue, made light or dark enough to read on the boxes' base,
    // so the differences stand out on light and dark desktops alike.
    const QColor accent = ResultsDelegate::Readable(palette().color(QPalette::Highlight),
                                                    palette().color(QPalette::Base));
    for (SideBoxes& side : m_sides) {
        for (int f = 0; f < FieldCount; ++f) {
            QLineEdit* box = side.Fields[f];
            QFont font = this->font();
            font.setBold(m_differs[f]);
            box->setFont(font);
            QPalette colours;
            if (m_differs[f])
                colours.setColor(QPalette::Text, accent);
            box->setPalette(colours);
        }
    }
}

void DetailsPane::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        Restyle();
}

void DetailsPane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (m_behind)
        Follow(m_row);
}
