// The "Forms" dialog of the search window: the further encodings of the
// search text (the fixed ones, the user-defined one and UTF-16 big-endian)
// with a quick choice of the common ones, and further search strings. It
// only edits a choice; the search window builds the target's forms from it.
#pragma once

#include <QDialog>
#include <QStringList>
#include <memory>
#include <vector>

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
