// The found viewer's excerpt over real results: the hexadecimal dump's rows
// lie on 16-byte file offsets wherever the excerpt starts, with blanks
// outside the excerpt, and the text mode follows the encoding the result
// was searched in.
#include "encoding/string_encoding.h"
#include "viewer_fixture.h"

using namespace tw::ui;
using viewer_test::Viewer;

class ViewerExcerptTest : public QObject {
    Q_OBJECT

private slots:
    // Byte i of the file is 'a' + i mod 16, so that every column of a row
    // shows its own letter; the occurrence lies so that the excerpt starts
    // at each offset modulo 16 in turn.
    void hexadecimal_rows_lie_on_16_byte_offsets() {
        for (int shift = 0; shift < 16; ++shift) {
            Viewer v;
            std::string content(1100, ' ');
            for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + i % 16);
            const std::size_t at = 1000 + static_cast<std::size_t>(shift);
            content.replace(at, 4, "NEED");
            v.file("f.bin", content);
            v.search("NEED", {"f.bin"});
            v.viewer->show_view();
            v.mode(kModeHexa);
            QCOMPARE(v.viewer->hexa_or_text_popup()->state(kModeText), ItemState::Off);
            const tw::u64 start = v.engine->sur.excerpt_file_offset;
            QCOMPARE(start, tw::u64(at + 2 - 1000));
            const QStringList rows = v.shown().split(u'\n');
            for (int k = 0; k < rows.size(); ++k) {
                const QString& row = rows[k];
                const tw::u64 offset = row.left(16).toULongLong(nullptr, 16);
                const QByteArray what = QByteArray::number(shift) + " row " + QByteArray::number(k);
                QVERIFY2(offset % 16 == 0, what);
                QVERIFY2(offset == (start & ~tw::u64{15}) + 16 * tw::u64(k), what);
                for (int j = 0; j < 16; ++j) {
                    const tw::u64 file_at = offset + j;
                    const QChar shown = row[67 + j];
                    if (file_at < start || file_at >= start + v.engine->sur.excerpt_len)
                        QVERIFY2(shown == u' ' && row.mid(18 + 3 * j, 2) == "  ", what);
                    else
                        QVERIFY2(shown == QChar(content[file_at]) &&
                                     row.mid(18 + 3 * j, 2).toInt(nullptr, 16) == content[file_at],
                                 what);
                }
            }
            QCOMPARE(v.marked().join(u'|'), at % 16 <= 12 ? QString("4E 45 45 44|NEED")
                                                          : QString("%1|%2|%3|%4")
                                                                .arg(QString("4E 45 45 44").left(3 * (16 - at % 16) - 1),
                                                                     QString("NEED").left(16 - at % 16),
                                                                     QString("4E 45 45 44").mid(3 * (16 - at % 16)),
                                                                     QString("NEED").mid(16 - at % 16)));
        }
    }

    // A result searched in UTF-16 opens decoded; the next one in a narrow
    // encoding as text again; a mode the user chose stays.
    void the_text_mode_follows_the_result_encoding() {
        namespace enc = tw::encoding;
        Viewer v;
        const std::string wide = *enc::to_bytes(u"Grüße aus Köln!", enc::kUtf16).value;
        v.file("w.bin", wide);
        v.file("n.txt", "plain Köln");
        const struct {
            const char* file;
            std::u16string pattern;
            std::uint32_t encoding;
            int chosen;  // the mode the user picks first, 0 for none
            int mode;
            const char* shown;
        } steps[] = {
            {"w.bin", u"Köln", enc::kUtf16, 0, kModeOriginal, "Grüße aus Köln!"},
            {"n.txt", u"plain", enc::kLatin1, 0, kModeText, "plain K??ln"},
            {"w.bin", u"aus", enc::kUtf16, kModeHexa, kModeHexa, nullptr},
        };
        for (const auto& s : steps) {
            if (s.chosen != 0) v.mode(s.chosen);
            v.search(*enc::to_bytes(s.pattern, s.encoding).value, {s.file}, s.encoding);
            v.viewer->show_view();
            QCOMPARE(v.viewer->hexa_or_text_type(), s.mode);
            QCOMPARE(v.viewer->hexa_or_text_popup()->state(s.mode), ItemState::On);
            if (s.shown != nullptr) QCOMPARE(v.shown(), QString::fromUtf8(s.shown));
        }
    }

    // A result of three forms: each occurrence is named after its form,
    // marked over its own form's bytes of the file and decoded in its
    // form's encoding and byte order.
    void each_occurrence_is_marked_and_decoded_in_its_own_form() {
        namespace enc = tw::encoding;
        for (int language : {0, 1}) {
            Viewer v(language);
            std::string le = *enc::to_bytes(u"Secret", enc::kUtf16).value, be = le;
            for (std::size_t i = 0; i < be.size(); i += 2) std::swap(be[i], be[i + 1]);
            const std::string content = "A Secret\n-" + le + "--" + be;
            v.file("f.bin", content);
            v.search("Secret", {"f.bin"}, enc::kUtf8,
                     {{false, false, enc::kUtf16, "Secret", le, true}, {false, true, enc::kUtf16, "Secret", be, true}});
            const struct {
                std::size_t offset;
                const std::string& bytes;
                const char* name;
            } occurrences[] = {{2, "Secret", "UTF-8"}, {10, le, "UTF-16LE"}, {24, be, "UTF-16BE"}};
            for (int k = 0; k < 3; ++k) {
                const auto& o = occurrences[k];
                v.engine->sur.occ_index = static_cast<tw::u64>(k);
                v.viewer->show_view();
                QCOMPARE(v.text("occ_nb_and_index_ref"), QString("%1 / 3 (%2)").arg(k + 1).arg(o.name));
                QCOMPARE(v.engine->sur.occ_offset, tw::u64(o.offset));
                v.mode(kModeText);
                const tw::u64 at = v.engine->sur.excerpt_occ_pos;
                QCOMPARE(v.span(), std::make_pair(int(at), int(at + o.bytes.size())));
                QCOMPARE(content.substr(o.offset, o.bytes.size()), o.bytes);
                v.mode(kModeOriginal);
                QCOMPARE(v.selected(), QString("Secret"));
            }
        }
    }

    // The excerpt size preference, Go to offset (by the dialog too) and
    // the piece that grows when the text area is scrolled to its end.
    void the_piece_on_show_follows_the_size_offsets_and_scrolling() {
        Viewer v;
        std::string content(20000, '.');
        content.replace(10000, 4, "NEED");
        v.file("big.bin", content);
        v.search("NEED", {"big.bin"});
        const auto first_row = [&] { return v.shown().left(16).toULongLong(nullptr, 16); };
        const auto cursor_row = [&] {
            QTextCursor c = v.area()->textCursor();
            c.select(QTextCursor::LineUnderCursor);
            return c.selectedText().left(16).toULongLong(nullptr, 16);
        };
        ViewerController::set_excerpt_size(8192);
        v.viewer->show_view();
        v.mode(kModeHexa);
        QCOMPARE(v.viewer->current_excerpt().len, std::size_t{8192});
        QCOMPARE(v.viewer->current_excerpt().file_offset, tw::u64{10002 - 4096});
        QCOMPARE(first_row(), tw::u64{(10002 - 4096) & ~15});
        QCOMPARE(v.marked(), (QStringList{"4E 45 45 44", "NEED"}));
        // Go to offset: the piece around it, the cursor on its row.
        QVERIFY(v.viewer->go_to_offset(0x3005));
        QCOMPARE(cursor_row(), tw::u64{0x3000});
        QVERIFY(!v.viewer->go_to_offset(20000));
        v.viewer->viewer_action("go_to_offset_action")->trigger();
        auto* dialog = v.viewer->window()->findChild<QInputDialog*>("go_to_offset_dialog");
        QVERIFY(dialog != nullptr);
        dialog->setTextValue("0x100");
        dialog->accept();
        QCOMPARE(cursor_row(), tw::u64{0x100});
        // The default size: the engine's excerpt, which grows by as much when
        // scrolled to its end, and then from its start.
        ViewerController::set_excerpt_size(0);
        QCOMPARE(ViewerController::excerpt_size(), tw::u64{tw::TW_EXCERPT_SIZE});
        v.viewer->show_view();
        QCOMPARE(v.viewer->current_excerpt().len, std::size_t{2000});
        QScrollBar* bar = v.area()->verticalScrollBar();
        bar->setValue(bar->maximum());
        QCOMPARE(v.viewer->current_excerpt().file_offset, tw::u64{9002});
        QCOMPARE(v.viewer->current_excerpt().len, std::size_t{4000});
        bar->setValue(bar->minimum());
        QCOMPARE(v.viewer->current_excerpt().file_offset, tw::u64{7002});
        QCOMPARE(v.viewer->current_excerpt().len, std::size_t{6000});
        QCOMPARE(v.marked(), (QStringList{"4E 45 45 44", "NEED"}));
        ViewerController::set_excerpt_size(tw::TW_EXCERPT_SIZE);
    }
};

TW_UI_SUITE(ViewerExcerptTest)
#include "viewer_excerpt_test.moc"
