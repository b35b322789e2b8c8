// The "Forms…" button of the search window: the current target's further
// encodings and search strings.
#include <QToolButton>

#include "ui/common/FormsDialog.h"
#include "ui/search/SearchController.h"
#include "ui/search/search_texts.h"
#include "ui_SearchController.h"

namespace tw::ui {

using namespace search_texts;

void SearchController::Forms_but() {
    if (engine_.cur_target_index < 0) return;
    FormsDialog dialog(engine_.language,
                       static_cast<tw::encoding::EncodingId>(engine_.pr.user_defined_encoding),
                       widget_->window());
    dialog.setObjectName(QStringLiteral("forms_dialog"));
    dialog.set_choice(choice_of_forms(engine_.tr.forms));
    // A refused choice leaves the dialog open to be mended.
    while (dialog.exec() == QDialog::Accepted)
        if (apply_forms(dialog.choice())) return;
}

tw::pattern::FormsBuilt SearchController::build_forms(const FormsChoice& choice) const {
    return tw::pattern::build_target_forms(forms_request(engine_.tr, search_view_text(), choice));
}

bool SearchController::apply_forms(const FormsChoice& choice) {
    const i64 index = engine_.cur_target_index;
    if (index < 0) return false;
    const tw::pattern::FormsBuilt built = build_forms(choice);
    if (built.too_many) {
        show_error(text(too_many_forms_s));
        return false;
    }
    if (!built.ok()) {
        show_error(text(forms_refused_s) + QString::fromStdString(built.refused_text));
        return false;
    }
    engine_.tr.forms = built.forms;
    if (const u64 code = engine_.save_target_file(static_cast<u64>(index), engine_.tr); code != 0)
        show_error(text(cannot_save_target_s) + QString::fromLatin1(engine_.build_str_err(code)));
    return true;
}

}  // namespace tw::ui
