// The wildcard of a search string: the window's wildcard field, its check
// box and the Ignore case box as the search-string field sees them; a
// wildcard that hexadecimal digits would hide kept out of them; and the
// wildcard character that a hexadecimal text needs when one of its typed
// bytes would be taken for the wildcard typed.
#include <QAbstractButton>
#include <QLineEdit>
#include <QValidator>
#include <new>

#include "encoding/string_encoding.h"
#include "ui/toolkit/alerts.h"
#include "ui/common/search_string_field.h"

namespace tw::ui {
namespace {

namespace enc = tw::encoding;

// Texts of the message line.
const char* const wildcard_in_hexadecimal_s[2] = {
    "A hexadecimal digit or a blank cannot be the wildcard while the string is in %1",
    "Un chiffre hexad\u00E9cimal ou un blanc ne peut pas \u00EAtre le joker tant que la phrase "
    "est en %1"};
const char* const wildcard_moved_s[2] = {
    "The wildcard is now \u201C%2\u201D instead of \u201C%1\u201D: the string holds the byte %3, "
    "which would otherwise be taken for the wildcard",
    "Le joker est maintenant \u00AB\u00A0%2\u00A0\u00BB au lieu de \u00AB\u00A0%1\u00A0\u00BB\u00A0: "
    "la phrase contient l'octet %3, qui serait sinon pris pour le joker"};
const char* const wildcard_not_capital_s[2] = {
    "The wildcard is now \u201C%2\u201D instead of \u201C%1\u201D: while the case is ignored, a "
    "capital letter cannot be the wildcard",
    "Le joker est maintenant \u00AB\u00A0%2\u00A0\u00BB au lieu de \u00AB\u00A0%1\u00A0\u00BB\u00A0: "
    "quand la casse est ignor\u00E9e, une majuscule ne peut pas \u00EAtre le joker"};
const char* const no_wildcard_left_s[2] = {
    "No character is left for the wildcard: the string holds every punctuation character",
    "Aucun caract\u00E8re ne reste pour le joker\u00A0: la phrase contient tous les signes de "
    "ponctuation"};

}  // namespace

bool SearchStringField::case_folding() const {
    return case_box_ != nullptr && case_box_->isChecked();
}

u64 SearchStringField::settle_wildcard() {
    wildcard_notice_.clear();
    last_refusal_ = tw::pattern::Refusal::None;
    const std::optional<std::uint8_t> symbol = wildcard();
    if (record_.is_hexa == 0 || !symbol) return 0;
    const tw::pattern::Compiled compiled = compile_view();
    last_refusal_ = compiled.refusal;
    if (compiled.refusal == tw::pattern::Refusal::NoWildcardLeft) {
        wildcard_notice_ = text(no_wildcard_left_s);
        show_message(wildcard_notice_);
        return tw::ERR_CORRUPTED;
    }
    // Any other refusal is the conversion's to report.
    if (!compiled.wildcard_moved || !compiled.wildcard) return 0;

    const bool fold = case_folding();
    const QString was = shown_character(QString(QChar(*symbol)));
    const QString now = QString(QChar(*compiled.wildcard));
    record_.wildcard_char = *compiled.wildcard;
    if (wildcard_field_ != nullptr) wildcard_field_->setText(now);
    std::string shown;
    try {
        shown = tw::hexa_pattern_text(reinterpret_cast<const std::uint8_t*>(compiled.bytes.data()),
                                      compiled.bytes.size(), *compiled.wildcard, fold);
    } catch (const std::bad_alloc&) {
        return tw::ERR_MEMORY;
    }
    set_view_text(QString::fromLatin1(shown.data(), static_cast<qsizetype>(shown.size())));
    wildcard_notice_ =
        compiled.clashing_byte
            ? text(wildcard_moved_s)
                  .arg(was, now,
                       QStringLiteral("%1").arg(*compiled.clashing_byte, 2, 16, QLatin1Char('0')).toUpper())
            : text(wildcard_not_capital_s).arg(was, now);
    show_message(wildcard_notice_);
    return 0;
}

bool SearchStringField::refuse_wildcard(std::optional<std::uint8_t> c) {
    if (!c || record_.is_hexa == 0 || !hides_in_hexadecimal(*c)) return false;
    const auto language = engine_.language != 0 ? enc::Language::French : enc::Language::English;
    const std::string_view hexa = enc::hexadecimal_title(language);
    beep();
    show_message(text(wildcard_in_hexadecimal_s)
                     .arg(QString::fromUtf8(hexa.data(), static_cast<qsizetype>(hexa.size()))));
    return true;
}

namespace {

// The wildcard field's validator: the field's own rule first, then no
// character that a hexadecimal string would hide while the string is
// hexadecimal and the wildcard on. It only answers; the field reports a
// refusal through its inputRejected signal.
class WildcardValidator : public QValidator {
public:
    WildcardValidator(QLineEdit* field, const QValidator* inner, std::function<bool(QChar)> hidden)
        : QValidator(field), inner_(inner), hidden_(std::move(hidden)) {}

    State validate(QString& input, int& pos) const override {
        refused_as_hidden_ = false;
        if (inner_ != nullptr) {
            const State state = inner_->validate(input, pos);
            if (state == Invalid) return state;
        }
        for (QChar c : input) {
            if (hidden_(c)) {
                refused_as_hidden_ = true;
                return Invalid;
            }
        }
        return Acceptable;
    }
    bool refused_as_hidden() const { return refused_as_hidden_; }

private:
    const QValidator* inner_;
    std::function<bool(QChar)> hidden_;
    mutable bool refused_as_hidden_ = false;
};

}  // namespace

void SearchStringField::attach_options(QLineEdit* field, QAbstractButton* use_box,
                                       QAbstractButton* case_box) {
    wildcard_field_ = field;
    case_box_ = case_box;
    auto char_of = [](const QString& t) -> std::uint8_t {
        const char16_t c = t.isEmpty() ? 0 : t.at(0).unicode();
        return static_cast<std::uint8_t>(c < 128 ? c : 0);
    };
    auto* validator = new WildcardValidator(field, field->validator(), [this, use_box](QChar c) {
        return use_box->isChecked() && record_.is_hexa != 0 && c.unicode() < 128 &&
               hides_in_hexadecimal(static_cast<std::uint8_t>(c.unicode()));
    });
    field->setValidator(validator);
    connect(field, &QLineEdit::inputRejected, this, [this, validator] {
        if (validator->refused_as_hidden()) refuse_wildcard(static_cast<std::uint8_t>('0'));
    });
    connect(use_box, &QAbstractButton::clicked, this, [this, field, use_box, char_of](bool on) {
        if (on && refuse_wildcard(char_of(field->text()))) use_box->setChecked(false);
    });
}

}  // namespace tw::ui
