// A user guide read from Markdown, with its images, written out as a
// paginated PDF and as a self-contained HTML page.
#pragma once

#include <QString>
#include <QTextDocument>

namespace tw::guide {

class GuideDocument {
public:
    // Reads the Markdown file `markdown_path`; images given by relative
    // paths are read from the folder of that file. An empty error() on
    // success.
    explicit GuideDocument(const QString& markdown_path);

    const QString& error() const { return error_; }
    // How many images the guide shows.
    int image_count() const { return images_.size(); }

    // A4 with 20 mm margins and the page number at the foot of each page;
    // images wider than the text are scaled down to its width.
    bool write_pdf(const QString& path, const QString& title);
    // One HTML file carrying its images inline, so that it can be copied
    // alone.
    bool write_html(const QString& path, const QString& title) const;

private:
    bool load_images(const QString& base_folder);
    void fit_images(qreal text_width);
    void start_chapters_on_new_pages();

    QTextDocument document_;
    QString markdown_;
    // The image references of the Markdown text and their files' contents.
    QHash<QString, QByteArray> images_;
    QString error_;
};

}  // namespace tw::guide
