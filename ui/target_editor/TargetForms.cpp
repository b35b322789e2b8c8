// The "Forms…" button of the target editor: the further encodings and
// search strings of the target being edited. The dialog edits a choice that
// OK builds into the target's forms, for the search string as it is then.
#include <QBoxLayout>
#include <QToolButton>

#include "ui/common/FormsDialog.h"
#include "ui/common/search_string_field.h"
#include "ui/target_editor/TargetController.h"
#include "ui/target_editor/target_editor_texts.h"
#include "ui/toolkit/AlertController.h"
#include "ui_TargetController.h"

namespace tw::ui {

using namespace target_editor_texts;

void TargetController::make_forms_button() {
    forms_but_ = new QToolButton(window_);
    forms_but_->setObjectName(QStringLiteral("forms_but_ref"));
    forms_but_->setText(text(forms_button_s));
    forms_but_->setAccessibleName(text(forms_button_s));
    connect(forms_but_, &QToolButton::clicked, this, &TargetController::Forms_but);
    auto* row = qobject_cast<QBoxLayout*>(ui_->string_label_row_layout);
    row->insertWidget(row->indexOf(ui_->rect_for_encoding_popup_ref), forms_but_);
}

void TargetController::Forms_but() {
    FormsDialog dialog(engine_.language,
                       static_cast<tw::encoding::EncodingId>(engine_.pr.user_defined_encoding), window_);
    dialog.setObjectName(QStringLiteral("forms_dialog"));
    dialog.set_choice(forms_choice_);
    if (dialog.exec() == QDialog::Accepted) forms_choice_ = dialog.choice();
}

bool TargetController::forms_into(tw::TargetRecord& t) {
    t.forms.clear();
    if (forms_choice_.encodings.empty() && forms_choice_.texts.isEmpty()) return true;
    tw::pattern::FormsBuilt built =
        tw::pattern::build_target_forms(forms_request(t, string_field_->view_text(), forms_choice_));
    if (built.too_many) {
        show_error(too_many_forms_s);
        return false;
    }
    if (!built.ok()) {
        alerts_.show_alert(window_, text(error_title_s),
                           text(forms_refused_s) + QString::fromStdString(built.refused_text));
        return false;
    }
    t.forms = std::move(built.forms);
    return true;
}

}  // namespace tw::ui
