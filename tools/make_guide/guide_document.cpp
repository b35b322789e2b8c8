#include "tools/make_guide/guide_document.h"

#include <algorithm>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QUrl>

namespace tw::guide {
namespace {

// Largest image size in document units (1/96 inch): the text width of an A4
// page with 2 cm margins is about 640 units; a screenshot keeps some air
// around it and never takes more than most of a page's height.
constexpr qreal kMaxImageWidth = 560;
constexpr qreal kMaxImageHeight = 680;

// Every image reference of the document, in order, once each.
QStringList image_names(const QTextDocument& document) {
    QStringList names;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat()) continue;
            const QString name = format.toImageFormat().name();
            if (!names.contains(name)) names.append(name);
        }
    return names;
}

}  // namespace

GuideDocument::GuideDocument(const QString& markdown_path) {
    QFile file(markdown_path);
    if (!file.open(QIODevice::ReadOnly)) {
        error_ = QStringLiteral("cannot read %1: %2").arg(markdown_path, file.errorString());
        return;
    }
    // A guide is a few dozen pages of text; anything far larger is not one.
    if (file.size() > 4 * 1024 * 1024) {
        error_ = QStringLiteral("%1 is too large for a guide").arg(markdown_path);
        return;
    }
    markdown_ = QString::fromUtf8(file.readAll());
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(10.5);
    document_.setDefaultFont(font);
    document_.setMarkdown(markdown_, QTextDocument::MarkdownDialectGitHub);
    if (!load_images(QFileInfo(markdown_path).absolutePath())) return;
    fit_images(kMaxImageWidth);
    start_chapters_on_new_pages();
}

void GuideDocument::start_chapters_on_new_pages() {
    // Each chapter (a second-level heading) begins a page of its own.
    QTextCursor cursor(&document_);
    for (QTextBlock block = document_.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        if (format.headingLevel() != 2) continue;
        format.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        cursor.setPosition(block.position());
        cursor.setBlockFormat(format);
    }
}

bool GuideDocument::load_images(const QString& base_folder) {
    for (const QString& name : image_names(document_)) {
        const QUrl url(name);
        // Images come from the sources next to the guide, never from
        // elsewhere on the building machine or the network.
        if (!url.isRelative() || QDir::isAbsolutePath(url.path())) {
            error_ = QStringLiteral("image %1: only relative paths are read").arg(name);
            return false;
        }
        QFile file(QDir(base_folder).filePath(url.path()));
        if (!file.open(QIODevice::ReadOnly)) {
            error_ = QStringLiteral("image %1: %2").arg(file.fileName(), file.errorString());
            return false;
        }
        const QByteArray bytes = file.readAll();
        QImage image;
        if (!image.loadFromData(bytes)) {
            error_ = QStringLiteral("image %1 cannot be decoded").arg(file.fileName());
            return false;
        }
        document_.addResource(QTextDocument::ImageResource, QUrl(name), image);
        images_.insert(name, bytes);
    }
    return true;
}

void GuideDocument::fit_images(qreal max_width) {
    for (QTextBlock block = document_.begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextImageFormat format = fragment.charFormat().toImageFormat();
            if (!format.isValid()) continue;
            const QImage image = document_.resource(QTextDocument::ImageResource, QUrl(format.name()))
                                     .value<QImage>();
            if (image.isNull()) continue;
            const qreal scale = std::min({1.0, max_width / image.width(),
                                          kMaxImageHeight / image.height()});
            format.setWidth(image.width() * scale);
            format.setHeight(image.height() * scale);
            QTextCursor cursor(&document_);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(format);
        }
}

bool GuideDocument::write_pdf(const QString& path, const QString& title) {
    QPdfWriter writer(path);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("Trawlex"));
    writer.setResolution(300);
    // QTextDocument::print lays the text out inside 2 cm margins and numbers
    // the pages itself when the document has no page size of its own.
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
    document_.setMetaInformation(QTextDocument::DocumentTitle, title);
    document_.print(&writer);
    return QFileInfo(path).size() > 0;
}

bool GuideDocument::write_html(const QString& path, const QString& title) const {
    QTextDocument copy;
    copy.setDefaultFont(document_.defaultFont());
    copy.setMarkdown(markdown_, QTextDocument::MarkdownDialectGitHub);
    copy.setMetaInformation(QTextDocument::DocumentTitle, title);
    QString html = copy.toHtml();
    // The images travel inside the page as data URLs.
    for (auto it = images_.cbegin(); it != images_.cend(); ++it) {
        const QString mime = it.value().startsWith("\x89PNG") ? QStringLiteral("image/png")
                                                               : QStringLiteral("image/jpeg");
        const QString data = QStringLiteral("data:%1;base64,%2")
                                 .arg(mime, QString::fromLatin1(it.value().toBase64()));
        html.replace(QStringLiteral("src=\"%1\"").arg(it.key().toHtmlEscaped()),
                     QStringLiteral("style=\"max-width: 100%; height: auto\" src=\"%1\"").arg(data));
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write(html.toUtf8()) >= 0 && file.flush();
}

}  // namespace tw::guide
