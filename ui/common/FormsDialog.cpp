#include "ui/common/FormsDialog.h"

#include <QListWidgetItem>
#include <QPushButton>
#include <algorithm>

#include "ui_FormsDialog.h"

namespace tw::ui {

namespace {

namespace enc = tw::encoding;

const char* const forms_title_s[2] = {"Forms", "Formes"};
const char* const encodings_label_s[2] = {"Search the text also in:", "Chercher le texte aussi en :"};
const char* const common_forms_s[2] = {"ASCII, UTF-8 and UTF-16 (both byte orders)",
                                        "ASCII, UTF-8 et UTF-16 (les deux ordres d'octets)"};
const char* const more_strings_s[2] = {"Other search strings, one a line:",
                                       "Autres cha\u00eenes \u00e0 chercher, une par ligne :"};
const char* const utf16_be_s[2] = {"Unicode (big-endian)", "Unicode (gros-boutiste)"};

QString utf8(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

FormsChoice choice_of_forms(const std::vector<tw::TargetForm>& forms) {
    FormsChoice c;
    for (const tw::TargetForm& f : forms) {
        if (f.search_text) {
            const tw::pattern::FormEncoding e{f.encoding, f.big_endian};
            if (std::find(c.encodings.begin(), c.encodings.end(), e) == c.encodings.end())
                c.encodings.push_back(e);
        } else if (!c.texts.contains(QString::fromStdString(f.text))) {
            c.texts << QString::fromStdString(f.text);
        }
    }
    return c;
}

FormsDialog::FormsDialog(int language, enc::EncodingId user_defined, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::FormsDialog>()) {
    ui_->setupUi(this);
    const int l = language != 0 ? 1 : 0;
    const auto lang = l != 0 ? enc::Language::French : enc::Language::English;
    setWindowTitle(QString::fromUtf8(forms_title_s[l]));
    ui_->encodings_label_ref->setText(QString::fromUtf8(encodings_label_s[l]));
    ui_->common_forms_but_ref->setText(QString::fromUtf8(common_forms_s[l]));
    ui_->more_strings_label_ref->setText(QString::fromUtf8(more_strings_s[l]));
    const auto add = [&](const QString& title, tw::pattern::FormEncoding e) {
        auto* item = new QListWidgetItem(title, ui_->encodings_list_ref);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        rows_.push_back(e);
    };
    for (const enc::FixedEncoding& f : enc::fixed_encodings()) {
        add(utf8(f.title(lang)), {f.id, false});
        if (f.id == enc::kUtf16) add(QString::fromUtf8(utf16_be_s[l]), {enc::kUtf16, true});
    }
    if (!enc::fixed_index(user_defined))
        add(utf8(enc::user_defined_title(lang)), {user_defined, false});
    connect(ui_->common_forms_but_ref, &QPushButton::clicked, this, &FormsDialog::choose_common);
    connect(ui_->buttons_ref, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui_->buttons_ref, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

FormsDialog::~FormsDialog() = default;

void FormsDialog::set_choice(const FormsChoice& choice) {
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        const bool on = std::find(choice.encodings.begin(), choice.encodings.end(), rows_[i]) !=
                        choice.encodings.end();
        ui_->encodings_list_ref->item(static_cast<int>(i))->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
    ui_->more_strings_ref->setPlainText(choice.texts.join(u'\n'));
}

FormsChoice FormsDialog::choice() const {
    FormsChoice c;
    for (std::size_t i = 0; i < rows_.size(); ++i)
        if (ui_->encodings_list_ref->item(static_cast<int>(i))->checkState() == Qt::Checked)
            c.encodings.push_back(rows_[i]);
    for (const QString& line : ui_->more_strings_ref->toPlainText().split(u'\n'))
        if (!line.isEmpty()) c.texts << line;
    return c;
}

void FormsDialog::choose_common() {
    FormsChoice c = choice();
    c.encodings = tw::pattern::common_form_encodings();
    set_choice(c);
}

tw::pattern::FormsRequest forms_request(const tw::TargetRecord& t, const QString& typed, const FormsChoice& choice) {
    tw::pattern::FormsRequest r;
    if (t.search_str != nullptr)
        r.first_bytes.assign(reinterpret_cast<const char*>(t.search_str), t.search_str_len);
    r.typed = typed.toStdString();
    r.options.hexadecimal = t.is_hexa != 0;
    r.options.encoding = static_cast<tw::encoding::EncodingId>(t.encoding);
    if (t.use_wildcard != 0) r.options.wildcard = static_cast<std::uint8_t>(t.wildcard_char);
    r.options.ignore_case = t.case_insensitive != 0;
    r.encodings = choice.encodings;
    for (const QString& s : choice.texts) r.more_texts.push_back(s.toStdString());
    return r;
}

}  // namespace tw::ui
