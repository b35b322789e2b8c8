// The target editor's texts, English and French, indexed by the engine's
// language.
#pragma once

#include "ui/common/shared_texts.h"

namespace tw::ui::target_editor_texts {

inline constexpr const char* const dir_s[2] = {"Folder", "Dossier"};
inline constexpr const char* const file_s[2] = {"File", "Fichier"};
inline constexpr const char* const unknow_s[2] = {"???", "???"};

inline constexpr const char* const left_blank_s[2] = {"One or more field are left blank",
                                                      "Entrées incomplêtes"};
inline constexpr const char* const same_name_s[2] = {"The target name is already taken",
                                                     "Le nom de ce canevas est déja utilisé"};
inline constexpr const char* const not_begin_or_end_by_s[2] = {
    "The search string must not begin/end by the wildcard char.",
    "La phrase recherché ne doit pas commencer/finir par le caractère jocker"};
// The line after not_begin_or_end_by_s.
inline constexpr const char* const wildcard_option_on_s[2] = {
    "The wildcard option is on: uncheck \u201CWildcard\u201D to search for this character itself.",
    "L'option joker est activ\u00E9e\u00A0: d\u00E9cochez \u00AB\u00A0Joker\u00A0\u00BB pour "
    "rechercher ce caract\u00E8re lui-m\u00EAme."};
inline constexpr const char* const cannot_build_s[2] = {"Cannot build this target",
                                                        "Impossible de construire ce canevas"};
inline constexpr const char* const cannot_save_s[2] = {"Cannot save the target",
                                                       "Impossible de sauvegarder le canevas"};
inline constexpr const char* const missing_currupted_s[2] = {
    "Targets folder missing or corrupted", "Dossier canevas manquant ou corrompu"};
inline constexpr const char* const cannot_enable_s[2] = {"Cannot enable this target",
                                                         "Impossible d'activer ce canevas"};
inline constexpr const char* const invalid_hexa_s[2] = {"Invalid hexadecimal character",
                                                        "Carratère hexadécimal non-défini"};
inline constexpr const char* const not_enough_mem_s[2] = {"ERROR: Not enough memory",
                                                          "Erreur: mémoire insuffisante"};
inline constexpr const char* const cannot_encode_s[2] = {
    "Cannot encode\n(try to erase completly the input string)",
    "Encodage impossible\n(essayer d'effacer complètement la phrase)"};
inline constexpr const char* const connot_set_edit_s[2] = {"Cannot edit/set this target",
                                                           "Impossible d'établir ce canevas"};
using shared_texts::error_title_s;
using shared_texts::ok_s;
inline constexpr const char* const cancel_s[2] = {"Cancel", "Annuler"};
inline constexpr const char* const item_pathname_s[2] = {"Item pathname", "Chemin d'accès"};
inline constexpr const char* const encoding_s[2] = {"Encoding", "Encodage"};

// Beyond the fixed texts: the table's column titles, the path check of an
// edited row, and the title of the file chooser.
inline constexpr const char* const type_column_s[2] = {"Type", "Type"};
inline constexpr const char* const name_column_s[2] = {"Name", "Nom"};
inline constexpr const char* const path_column_s[2] = {"Path", "Chemin"};
inline constexpr const char* const path_not_absolute_s[2] = {
    "The path must be absolute (begin with /)", "Le chemin doit être absolu (commencer par /)"};
inline constexpr const char* const path_missing_s[2] = {
    "No file or folder at this path", "Aucun fichier ni dossier à cet emplacement"};
inline constexpr const char* const add_items_title_s[2] = {"Add files and folders",
                                                           "Ajouter des fichiers et dossiers"};

}  // namespace tw::ui::target_editor_texts
