// The text of trawlex-cli --help, in English and in French. The manual page
// is made from the English one.
#include "cli/cli_messages.h"
#include "cli/cli_options.h"

namespace tw::cli {

namespace {

const char* const usage_s[2] = {
R"USAGE(Usage: trawlex-cli [OPTION]... PATTERN [PATH]...
  or:  trawlex-cli [OPTION]... -e PATTERN [PATH]...
  or:  trawlex-cli [OPTION]... --target NAME|NUMBER
Search the files and folders PATH... for every occurrence of the byte string
PATTERN and print one line per occurrence: PATH<TAB>OFFSET (OFFSET in bytes
from 0), or PATH<TAB>OFFSET<TAB>LINE with -n (LINE from 1). Each found file is
printed as soon as it has been searched, in the order of the search. As
grep, PATH is left out when a single file (or standard input) is searched.

A relative PATH is joined to the current folder and printed so; ".." is left
for the system to resolve. A PATH of "-", or no PATH when standard input is not
a terminal, reads standard input, printed as "(standard input)". A pipe, socket
or character device given as PATH is read to its end; a block device (a disk or
a partition) is searched like a file. Inside folders such entries are skipped.
A PATH that does not exist is named on standard error and the others are
searched.

The letters mean what grep's and ripgrep's mean. -a, -b, -o, -F, -r and -R are
accepted and change nothing: every file is searched as bytes, offsets are always
printed, each occurrence on its own line, PATTERN is always fixed bytes and
folders are always searched.

Pattern:
  -e, --regexp PATTERN   search PATTERN; every other argument is then a PATH;
                         several -e search several patterns in one pass (64
                         forms at most), and each occurrence line then ends
                         with a column naming its form: the pattern's number
                         and, with several encodings, the encoding (JSON:
                         "forms" beside "offsets")
  -f, --file FILE        search each line of FILE as a PATTERN, as with -e
                         ("-": standard input); a FILE without lines
                         searches nothing
      --hex              PATTERN is hexadecimal digits ("41 42", "4142");
                         blanks are ignored, an odd count gets a leading 0
  -E, --encoding NAME[,NAME]...
                         search PATTERN (typed in UTF-8) as encoded in NAME:
                         ascii, utf-8 (default), utf-16 (little-endian),
                         utf-16be, macroman, symbol, latin1, latin2, cp1250,
                         cp1251, cp1252, cp1253, cp1254, iso-2022-jp, euc-jp,
                         shift_jis; several names search every form in one
                         pass (forms with the same bytes once); "common" is
                         ASCII, UTF-8 and UTF-16 (both byte orders), "all"
                         every encoding above (also --encodings LIST)
      --wildcard C       the byte C in PATTERN matches any byte (not first
                         or last); with -i it must not be a letter that a
                         text PATTERN holds in either case; with --hex only C
                         itself is the wildcard: a digit pair always means
                         its byte
  -i, --ignore-case      ASCII letters match either case
  -F, --fixed-strings    accepted (PATTERN is always fixed bytes)

Search:
  -a, --text             accepted (every file is searched as bytes)
  -r, --recursive, -R, --dereference-recursive
                         accepted (folders are always searched)
  -g, --glob GLOB        search only the files whose name matches GLOB; !GLOB
                         leaves out the files and folders whose name matches
      --include GLOB     search only the files whose name matches GLOB
      --exclude GLOB     leave out the files whose name matches GLOB
      --exclude-dir GLOB
                         leave out the folders whose name matches GLOB
                         (globs are matched against the names met inside
                         folders, the last one that matches deciding)
      --eol cr|lf        end-of-line byte for line numbers and lines
                         (default lf)
      --hidden           also search names that begin with a dot
      --stop-on-error    end the whole search at the first file or folder that
                         cannot be read (by default it is named and skipped)
      --target NAME|NUMBER
                         run a stored target of the resource folder, by its
                         number or its name; name:NAME always means a name
      --resource-dir DIR resource folder whose targets are read and whose
                         TW_found folder receives the result files; without
                         it, a run with --report or --target writes them to
                         a temporary folder removed at exit, any other run
                         writes none, and --target reads the application's
                         targets ($XDG_DATA_HOME/Trawlex or
                         ~/.local/share/Trawlex)
      --no-wait          fail at once (status 2) when another search is
                         writing the same result folder, instead of waiting
  -j, --threads N        scan with N threads (default 0: one per core; 1
                         scans on the search thread alone)

Output:
  -n, --line-number      add the line number of each occurrence
  -b, --byte-offset      accepted (offsets are always printed)
  -o, --only-matching    accepted (each occurrence has its own line)
  -H, --with-filename    begin each line with PATH (the default, unless a
                         single file or standard input is searched)
  -h, --no-filename      leave PATH out of the lines of occurrences and counts
  -A, --after-context NUM
                         print NUM lines after each occurrence
  -B, --before-context NUM
                         print NUM lines before each occurrence
  -C, --context NUM      print NUM lines before and after each occurrence;
                         each line then ends with a tab and ':' followed by the
                         line that holds the occurrence, or '-' and a context
                         line (OFFSET is then that line's offset), groups of
                         lines apart are separated by "--", and a line is cut
                         8192 bytes before and after the occurrence (it then
                         has no context lines on that side)
  -c, --count            one line per found file: PATH<TAB>COUNT
  -l, --files-with-matches
                         one line per found file: PATH
  -L, --files-without-match
                         one line per searched file without occurrence: PATH
  -m, --max-count NUM    print (and count) at most NUM occurrences per file;
                         -m 0 searches nothing and exits with 1
  -0, --null             write each PATH raw and end it with a NUL instead of
                         the tab (with -l or -L, instead of the newline)
      --color[=WHEN], --colour[=WHEN]
                         colour the paths and the occurrences: never, always,
                         or auto (the default: when the output is a terminal)
      --json             ripgrep's JSON lines: "begin", "match" and "end"
                         records per found file, a "summary" at the end
  -q, --quiet            print nothing; exit 0 at the first found file
      --no-messages      do not name the unreadable files and folders
      --report FILE      also write the text report of the search to FILE
      --stats            print the search summary on stderr
      --help             display this help and exit
      --version          output version information and exit

Without result files to fill (no --resource-dir, --report or --target), -q,
-l and -L read a file only up to its first occurrence and -m NUM up to its
NUM-th: the "matches_found" of a --json "end" record then counts the
occurrences read, not all those of the file.

In the tab-separated output a tab, newline, carriage return or backslash of a
path is written \t, \n, \r or \\, so that one line is always one record; in a
line's text, any other control byte and any byte outside UTF-8 is written \xHH.

--json writes the records of ripgrep's --json with its keys and meanings: in a
"match", "lines" is the line that holds the occurrences (its end-of-line byte
included, cut 8192 bytes before and after the first one), "absolute_offset" the
offset of its first byte and "submatches" the occurrences in it, with "start"
and "end" inside it; the occurrences of a line are one record. Trawlex's own
facts are under "trawlex": "offsets" (of the occurrences in the file),
"overlapping" (occurrences overlap, which ripgrep never reports) and
"lines_cut" (the line was cut). A path or a text is {"text":"..."}, or
{"bytes":"BASE64"} when it is not valid UTF-8. Lines cannot be read back from a
pipe: "lines" is then null, "absolute_offset" the occurrence's offset and
"submatches" empty; -A, -B and -C print no lines for a pipe.

Each file or folder that cannot be read is named on standard error as
"trawlex-cli: PATH: REASON" when it is met, and the search goes on.

Exit status: 0 when something was found (with -L too, as grep), 1 when nothing
was, 2 on an error or when a PATH is missing or a file or folder could
not be read (even if something was found); with -q, 0 as soon as something is
found. When the reader of the output closes it, the search ends quietly with 0.

Messages are in French when the preferred language is French (LANGUAGE, else
LC_ALL, LC_MESSAGES or LANG, the first that is set). The environment variable
TRAWLEX_ISA (scalar, sse2 or avx2) limits the instruction set of the scanning
routines.

Examples:
  trawlex-cli -n 'needle' ~/docs       offsets and lines of needle in a tree
  trawlex-cli --hex 'CA FE BA BE' /dev/sdb  the bytes CA FE BA BE on a disk
  trawlex-cli -l0 TODO src | xargs -0 ls -l
  trawlex-cli -C 1 -g '*.txt' error logs  each error with a line around it
)USAGE",
R"USAGE(Usage : trawlex-cli [OPTION]... MOTIF [CHEMIN]...
  ou :  trawlex-cli [OPTION]... -e MOTIF [CHEMIN]...
  ou :  trawlex-cli [OPTION]... --target NOM|NUMÉRO
Cherche dans les fichiers et dossiers CHEMIN... chaque occurrence de la suite
d'octets MOTIF et écrit une ligne par occurrence : CHEMIN<TAB>POSITION
(POSITION en octets depuis 0), ou CHEMIN<TAB>POSITION<TAB>LIGNE avec -n (LIGNE
depuis 1). Chaque fichier trouvé est écrit dès qu'il a été cherché, dans
l'ordre de la recherche. Comme grep, CHEMIN est omis quand un seul fichier
(ou l'entrée standard) est cherché.

Un CHEMIN relatif est joint au dossier courant et écrit ainsi ; ".." est laissé
au système. Un CHEMIN "-", ou aucun CHEMIN quand l'entrée standard n'est pas un
terminal, lit l'entrée standard, écrite "(standard input)". Un tube, une prise
ou un périphérique caractère donné comme CHEMIN est lu jusqu'au bout ; un
périphérique bloc (un disque, une partition) est cherché comme un fichier. Dans
les dossiers, ces entrées sont sautées. Un CHEMIN qui n'existe pas est nommé
sur la sortie d'erreur et les autres sont cherchés.

Les lettres veulent dire ce que disent celles de grep et de ripgrep. -a, -b,
-o, -F, -r et -R sont acceptés et ne changent rien : tout fichier est cherché
comme une suite d'octets, les positions sont toujours écrites, chaque
occurrence sur sa ligne, MOTIF est toujours une suite fixe d'octets et les
dossiers sont toujours parcourus.

Motif :
  -e, --regexp MOTIF     cherche MOTIF ; tout autre argument est alors un
                         CHEMIN ; plusieurs -e cherchent plusieurs motifs en
                         une passe (64 formes au plus), et chaque ligne
                         d'occurrence finit alors par une colonne qui nomme
                         sa forme : le numéro du motif et, avec plusieurs
                         codages, le codage (JSON : "forms" près de "offsets")
  -f, --file FICHIER     cherche chaque ligne de FICHIER comme un MOTIF,
                         comme -e ("-" : l'entrée standard) ; un FICHIER
                         sans ligne ne fait rien chercher
      --hex              MOTIF est fait de chiffres hexadécimaux ("41 42",
                         "4142") ; les blancs sont ignorés, un nombre impair
                         reçoit un 0 en tête
  -E, --encoding NOM[,NOM]...
                         cherche MOTIF (tapé en UTF-8) codé en NOM : ascii,
                         utf-8 (par défaut), utf-16 (petit-boutiste),
                         utf-16be, macroman, symbol, latin1, latin2, cp1250,
                         cp1251, cp1252, cp1253, cp1254, iso-2022-jp, euc-jp,
                         shift_jis ; plusieurs noms cherchent chaque forme en
                         une passe (les formes aux mêmes octets une fois) ;
                         "common" vaut ASCII, UTF-8 et UTF-16 (deux ordres
                         d'octets), "all" tous les codages ci-dessus (aussi
                         --encodings LISTE)
      --wildcard C       l'octet C de MOTIF vaut n'importe quel octet (ni au
                         début ni à la fin) ; avec -i ce ne doit pas être une
                         lettre que MOTIF contient dans l'une ou l'autre
                         casse ; avec --hex seul C est le joker : une paire de
                         chiffres veut toujours dire son octet
  -i, --ignore-case      les lettres ASCII valent dans les deux casses
  -F, --fixed-strings    accepté (MOTIF est toujours une suite fixe d'octets)

Recherche :
  -a, --text             accepté (tout fichier est cherché comme des octets)
  -r, --recursive, -R, --dereference-recursive
                         acceptés (les dossiers sont toujours parcourus)
  -g, --glob GLOB        cherche seulement les fichiers dont le nom répond à
                         GLOB ; !GLOB écarte les fichiers et dossiers dont le
                         nom y répond
      --include GLOB     cherche seulement les fichiers dont le nom répond à
                         GLOB
      --exclude GLOB     écarte les fichiers dont le nom répond à GLOB
      --exclude-dir GLOB
                         écarte les dossiers dont le nom répond à GLOB (les
                         GLOB portent sur les noms rencontrés dans les
                         dossiers ; le dernier qui répond décide)
      --eol cr|lf        octet de fin de ligne des numéros et des lignes (lf
                         par défaut)
      --hidden           cherche aussi les noms qui commencent par un point
      --stop-on-error    arrête toute la recherche au premier fichier ou
                         dossier illisible (par défaut il est nommé et sauté)
      --target NOM|NUMÉRO
                         lance une cible enregistrée du dossier de ressources,
                         par son numéro ou son nom ; name:NOM est toujours un
                         nom
      --resource-dir DOSSIER
                         dossier de ressources dont les cibles sont lues et
                         dont le dossier TW_found reçoit les fichiers de
                         résultat ; sans lui, --report et --target les
                         écrivent dans un dossier temporaire effacé à la fin,
                         les autres lancements n'en écrivent pas, et --target
                         lit les cibles de l'application ($XDG_DATA_HOME/Trawlex
                         ou ~/.local/share/Trawlex)
      --no-wait          échoue aussitôt (état 2) quand une autre recherche
                         écrit le même dossier de résultat, au lieu d'attendre
  -j, --threads N        cherche avec N fils (0 par défaut : un par cœur ; 1 :
                         le fil de recherche seul)

Sortie :
  -n, --line-number      ajoute le numéro de ligne de chaque occurrence
  -b, --byte-offset      accepté (les positions sont toujours écrites)
  -o, --only-matching    accepté (chaque occurrence a sa ligne)
  -H, --with-filename    commence chaque ligne par CHEMIN (par défaut, sauf
                         quand un seul fichier ou l'entrée standard est cherché)
  -h, --no-filename      omet CHEMIN des lignes d'occurrences et de comptes
  -A, --after-context NUM
                         écrit NUM lignes après chaque occurrence
  -B, --before-context NUM
                         écrit NUM lignes avant chaque occurrence
  -C, --context NUM      écrit NUM lignes avant et après chaque occurrence ;
                         chaque ligne finit alors par une tabulation et ':'
                         suivi de la ligne de l'occurrence, ou '-' et une
                         ligne de contexte (POSITION est alors celle de cette
                         ligne), des groupes de lignes éloignés sont séparés
                         par "--", et une ligne est coupée 8192 octets avant
                         et après l'occurrence (sans lignes de contexte de ce
                         côté-là)
  -c, --count            une ligne par fichier trouvé : CHEMIN<TAB>NOMBRE
  -l, --files-with-matches
                         une ligne par fichier trouvé : CHEMIN
  -L, --files-without-match
                         une ligne par fichier cherché sans occurrence : CHEMIN
  -m, --max-count NUM    écrit (et compte) au plus NUM occurrences par
                         fichier ; -m 0 ne cherche rien et sort avec 1
  -0, --null             écrit chaque CHEMIN brut suivi d'un NUL au lieu de la
                         tabulation (avec -l ou -L, au lieu du saut de ligne)
      --color[=QUAND], --colour[=QUAND]
                         colore les chemins et les occurrences : never,
                         always, ou auto (par défaut : quand la sortie est un
                         terminal)
      --json             les lignes JSON de ripgrep : "begin", "match" et
                         "end" par fichier trouvé, un "summary" à la fin
  -q, --quiet            n'écrit rien ; sort avec 0 au premier fichier trouvé
      --no-messages      ne nomme pas les fichiers et dossiers illisibles
      --report FICHIER   écrit aussi le rapport texte de la recherche
      --stats            écrit le bilan de la recherche sur la sortie d'erreur
      --help             affiche cette aide et sort
      --version          affiche la version et sort

Sans fichiers de résultat à remplir (ni --resource-dir, ni --report, ni
--target), -q, -l et -L lisent un fichier jusqu'à sa première occurrence et
-m NUM jusqu'à la NUM-ième : "matches_found" d'un enregistrement "end" de
--json compte alors les occurrences lues, pas toutes celles du fichier.

Dans la sortie séparée par des tabulations, une tabulation, un saut de ligne,
un retour chariot ou une barre oblique inverse d'un chemin s'écrit \t, \n, \r
ou \\, pour qu'une ligne soit toujours un enregistrement ; dans le texte d'une
ligne, tout autre octet de contrôle et tout octet hors UTF-8 s'écrit \xHH.

--json écrit les enregistrements de --json de ripgrep avec ses clés et leurs
sens : dans un "match", "lines" est la ligne qui contient les occurrences (son
octet de fin de ligne compris, coupée 8192 octets avant et après la première),
"absolute_offset" la position de son premier octet et "submatches" ses
occurrences, avec "start" et "end" dans la ligne ; les occurrences d'une ligne
font un seul enregistrement. Les faits propres à Trawlex sont sous "trawlex" :
"offsets" (des occurrences dans le fichier), "overlapping" (des occurrences se
chevauchent, ce que ripgrep ne donne jamais) et "lines_cut" (la ligne a été
coupée). Un chemin ou un texte est {"text":"..."}, ou {"bytes":"BASE64"} s'il
n'est pas de l'UTF-8 valide. Les lignes d'un tube ne peuvent pas être relues :
"lines" vaut alors null, "absolute_offset" la position de l'occurrence et
"submatches" est vide ; -A, -B et -C n'écrivent pas de lignes pour un tube.

Chaque fichier ou dossier illisible est nommé sur la sortie d'erreur sous la
forme "trawlex-cli: CHEMIN: RAISON" quand il est rencontré, et la recherche
continue.

État de sortie : 0 quand quelque chose a été trouvé (avec -L aussi, comme
grep), 1 quand rien ne l'a été, 2 sur une erreur, quand un CHEMIN manque
ou qu'un fichier ou dossier était illisible (même si quelque chose a été
trouvé) ; avec -q, 0 dès que quelque chose est trouvé. Quand le lecteur de la
sortie la ferme, la recherche s'arrête en silence avec 0.

Les messages sont en français quand la langue préférée est le français
(LANGUAGE, sinon LC_ALL, LC_MESSAGES ou LANG, la première donnée). La variable
d'environnement TRAWLEX_ISA (scalar, sse2 ou avx2) limite le jeu d'instructions
des routines de recherche.

Exemples :
  trawlex-cli -n 'aiguille' ~/docs     positions et lignes d'aiguille
  trawlex-cli --hex 'CA FE BA BE' /dev/sdb  les octets CA FE BA BE d'un disque
  trawlex-cli -l0 TODO src | xargs -0 ls -l
  trawlex-cli -C 1 -g '*.txt' erreur journaux  chaque erreur et une ligne autour
)USAGE"};

}  // namespace

std::string usage_text() { return usage_s[language()]; }

}  // namespace tw::cli
