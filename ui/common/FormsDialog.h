// The "Forms" dialog of the search window and the target editor: the
// further encodings of the search text (the fixed ones, the user-defined one
// and UTF-16 big-endian) with a quick choice of the common ones, and further
// search strings. It only edits a choice; the window builds the target's
// forms from it.
#pragma once

#include <QDialog>
#include <QStringList>
#include <memory>
#include <vector>

#include "engine/tw.h"
#include "pattern/target_forms.h"

namespace Ui {
class FormsDialog;
}

namespace tw::ui {

struct FormsChoice {
    std::vector<tw::pattern::FormEncoding> encodings;
    QStringList texts;
};

// The choice that gave a target's `forms`.
FormsChoice choice_of_forms(const std::vector<tw::TargetForm>& forms);

// What builds target `t`'s forms from `choice`: its search string's bytes,
// the text as typed in the window, and its options.
tw::pattern::FormsRequest forms_request(const tw::TargetRecord& t, const QString& typed, const FormsChoice& choice);

// The texts of the windows that open the dialog.
inline constexpr const char* const forms_button_s[2] = {"Forms\u2026", "Formes\u2026"};
inline constexpr const char* const forms_refused_s[2] = {
    "No form of this search string can be searched: ",
    "Aucune forme de cette cha\u00eene ne peut \u00eatre cherch\u00e9e : "};
inline constexpr const char* const too_many_forms_s[2] = {
    "A target searches at most 64 forms.", "Un canevas cherche au plus 64 formes."};

class FormsDialog : public QDialog {
    Q_OBJECT
public:
    // `user_defined`: the preferences' user-defined encoding number.
    FormsDialog(int language, tw::encoding::EncodingId user_defined, QWidget* parent = nullptr);
    ~FormsDialog() override;
    void set_choice(const FormsChoice& choice);
    FormsChoice choice() const;
    Ui::FormsDialog* ui() const { return ui_.get(); }
    // Checks ASCII, UTF-8 and UTF-16 in both byte orders, and only them.
    void choose_common();

private:
    std::unique_ptr<Ui::FormsDialog> ui_;
    std::vector<tw::pattern::FormEncoding> rows_;  // one per row of the list
};

}  // namespace tw::ui
