// The search window's texts, English and French, indexed by the engine's
// language.
#pragma once

#include "ui/common/shared_texts.h"

namespace tw::ui::search_texts {

inline constexpr const char* const targets_title_s[2] = {"Targets", "Canevas"};
inline constexpr const char* const cannot_enable_s[2] = {"Cannot enable this target",
                                                         "Impossible d'activer ce canevas"};
using shared_texts::error_title_s;
using shared_texts::ok_s;
inline constexpr const char* const search_s[2] = {"Search", "Rechercher"};
inline constexpr const char* const stop_s[2] = {"Stop", "Arrêter"};
inline constexpr const char* const no_default_target_s[2] = {
    "Cannot load default target", "Impossible de charger le canevas corrrant"};
inline constexpr const char* const no_memory_s[2] = {"Not enough memory", "Mémoire insuffisante"};
inline constexpr const char* const invalid_hexa_s[2] = {"Invalid hexadecimal character",
                                                        "Carratère hexadécimal non-défini"};
inline constexpr const char* const wildcard_at_end_s[2] = {
    "The search string must not begin/end by the wildcard char.",
    "La phrase recherché ne doit pas commencer/finir par le caractère jocker"};
// The line after wildcard_at_end_s.
inline constexpr const char* const wildcard_option_on_s[2] = {
    "The wildcard option is on: uncheck \u201CUse a wildcard\u201D to search for this character "
    "itself.",
    "L'option joker est activ\u00e9e\u00a0: d\u00e9cochez \u00ab\u00a0Utiliser un joker\u00a0\u00bb "
    "pour rechercher ce caract\u00e8re lui-m\u00eame."};
// %1 the search string's bytes, %2 the text buffer's bytes, %3 the KiB
// that would hold the string.
inline constexpr const char* const longer_than_text_buffer_s[2] = {
    "The search string (%1 bytes) is longer than the text buffer (%2 bytes), which must hold it "
    "whole. Raise \u201CText\u201D under \u201CBuffers\u201D in Trawlex > Preferences\u2026 "
    "(Ctrl+,) to %3 KiB or more, then start Trawlex again.",
    "La cha\u00eene recherch\u00e9e (%1 octets) est plus longue que la m\u00e9moire de texte "
    "(%2 octets), qui doit la contenir enti\u00e8re. Portez \u00ab\u00a0Texte\u00a0\u00bb sous "
    "\u00ab\u00a0M\u00e9moire\u00a0\u00bb dans Trawlex > Pr\u00e9f\u00e9rences\u2026 (Ctrl+,) "
    "\u00e0 %3 Kio ou plus, puis relancez Trawlex."};
inline constexpr const char* const search_param_error_s[2] = {
    "Search parameter error", "Erreur dans les parametre de recherche"};
inline constexpr const char* const missing_item_s[2] = {"File/Folder don't exist (first): ",
                                                        "Fichier/Dossier inexistant (premier): "};
inline constexpr const char* const waiting_for_result_s[2] = {
    "Waiting for another search to finish writing the result...",
    "En attente de la fin d'une autre recherche sur le r\u00e9sultat..."};
inline constexpr const char* const damaged_targets_s[2] = {
    "Damaged target files, skipped:\n", "Fichiers de canevas endommag\u00e9s, ignor\u00e9s :\n"};
inline constexpr const char* const damaged_forms_s[2] = {
    "Damaged file of the target's other forms, skipped (the target searches its search string alone):\n",
    "Fichier endommag\u00e9 des autres formes du canevas, ignor\u00e9 (le canevas ne cherche que sa cha\u00eene) :\n"};
inline constexpr const char* const cannot_encode_s[2] = {
    "Cannot encode\n(try to erase completly the input string)",
    "Encodage impossible\n(essayer d'effacer complètement la phrase)"};
inline constexpr const char* const last_result_one_s[2] = {
    "Last result: %1 found file \u2014 Window > Found Viewer (Ctrl+Shift+F)",
    "Dernier r\u00e9sultat : %1 fichier trouv\u00e9 \u2014 Fen\u00eatre > Visualiseur des occurrences (Ctrl+Maj+F)"};
inline constexpr const char* const last_result_s[2] = {
    "Last result: %1 found files \u2014 Window > Found Viewer (Ctrl+Shift+F)",
    "Dernier r\u00e9sultat : %1 fichiers trouv\u00e9s \u2014 Fen\u00eatre > Visualiseur des occurrences (Ctrl+Maj+F)"};

inline constexpr const char* const history_button_s[2] = {"Search history",
                                                         "Historique des recherches"};
inline constexpr const char* const history_empty_s[2] = {"No search yet", "Aucune recherche encore"};
inline constexpr const char* const cannot_save_target_s[2] = {
    "The target could not be saved before the search: ",
    "Le canevas n'a pas pu être enregistré avant la recherche : "};

}  // namespace tw::ui::search_texts
