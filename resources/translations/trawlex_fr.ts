<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>AlertPanel</name>
    <message>
        <location filename="../../ui/toolkit/AlertController.ui" line="9"/>
        <source>Alert</source>
        <translation>Alerte</translation>
    </message>
    <message>
        <location filename="../../ui/toolkit/AlertController.ui" line="48"/>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="9"/>
        <source>Trawlex</source>
        <translation>Trawlex</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="20"/>
        <source>Finds every occurrence of a string of bytes in the contents of files.</source>
        <translation>Trouve chaque occurrence d&apos;une suite d&apos;octets dans le contenu des fichiers.</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="29"/>
        <source>&amp;Trawlex</source>
        <translation>&amp;Trawlex</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="37"/>
        <source>&amp;Window</source>
        <translation>F&amp;enêtre</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="42"/>
        <source>&amp;Help</source>
        <translation>&amp;Aide</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="51"/>
        <source>&amp;About Trawlex</source>
        <translation>À &amp;propos de Trawlex</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="55"/>
        <source>&amp;Preferences…</source>
        <translation>&amp;Préférences…</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="56"/>
        <source>Ctrl+,</source>
        <translation>Ctrl+,</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="60"/>
        <source>&amp;Quit</source>
        <translation>&amp;Quitter</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="61"/>
        <source>Ctrl+Q</source>
        <translation>Ctrl+Q</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="65"/>
        <source>&amp;Set Window Color…</source>
        <translation>&amp;Choisir la couleur des fenêtres…</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="68"/>
        <source>&amp;Clear Window Color</source>
        <translation>&amp;Effacer la couleur des fenêtres</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="71"/>
        <source>Trawlex &amp;Help</source>
        <translation>&amp;Aide de Trawlex</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="72"/>
        <source>F1</source>
        <translation>F1</translation>
    </message>
</context>
<context>
    <name>PreferencesWindow</name>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="8"/>
        <source>Preferences</source>
        <translation>Préférences</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="12"/>
        <source>Buffers (used from the next start)</source>
        <translation>Mémoire (prise en compte au prochain démarrage)</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="16"/>
        <source>&amp;Search string:</source>
        <translation>&amp;Phrase recherchée :</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="22"/>
        <source>Room for the bytes of the search string</source>
        <translation>Place pour les octets de la phrase recherchée</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="28"/>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="45"/>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="62"/>
        <source>KiB</source>
        <translation>Kio</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="33"/>
        <source>&amp;Text:</source>
        <translation>&amp;Texte :</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="39"/>
        <source>How much of a file is read and scanned at a time</source>
        <translation>Quantité d&apos;un fichier lue et parcourue à la fois</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="50"/>
        <source>&amp;Occurrences:</source>
        <translation>&amp;Occurrences :</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="56"/>
        <source>Room for occurrences before they are written</source>
        <translation>Place pour les occurrences avant leur écriture</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="72"/>
        <source>Scanning t&amp;hreads:</source>
        <translation>Fils de rec&amp;herche :</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="78"/>
        <source>How many files or pieces of a file are searched at once; 0: one per processor core</source>
        <translation>Nombre de fichiers ou de morceaux de fichier cherchés à la fois ; 0 : un par cœur du processeur</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="79"/>
        <source>One per core</source>
        <translation>Un par cœur</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="87"/>
        <source>E&amp;xcerpt size:</source>
        <translation>Taille de l&apos;e&amp;xtrait :</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="93"/>
        <source>Bytes the viewer shows around an occurrence, from 2000 to 1048576</source>
        <translation>Octets que le visualiseur montre autour d&apos;une occurrence, de 2000 à 1048576</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="94"/>
        <source> bytes</source>
        <translation> octets</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="89"/>
        <source>Progress during a search</source>
        <translation>Progression pendant une recherche</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="95"/>
        <source>&amp;Refresh every:</source>
        <translation>&amp;Rafraîchir toutes les :</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="101"/>
        <source>How often the counters are redrawn</source>
        <translation>Fréquence de mise à jour des compteurs</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="107"/>
        <source>seconds</source>
        <translation>secondes</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="114"/>
        <source>Show the &amp;folder</source>
        <translation>Afficher le &amp;dossier</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="119"/>
        <source>Show the file &amp;name and size</source>
        <translation>Afficher le &amp;nom et la taille du fichier</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="124"/>
        <source>Show the number of &amp;files</source>
        <translation>Afficher le nombre de &amp;fichiers</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="129"/>
        <source>Show the number of o&amp;ccurrences found</source>
        <translation>Afficher le nombre d&apos;o&amp;ccurrences trouvées</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="134"/>
        <source>Show the &amp;bytes read</source>
        <translation>Afficher les o&amp;ctets lus</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="139"/>
        <source>Show the &amp;errors</source>
        <translation>Afficher les &amp;erreurs</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="147"/>
        <source>Return &amp;key starts the search</source>
        <translation>La touche &amp;Entrée lance la recherche</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="154"/>
        <source>&amp;User defined encoding:</source>
        <translation>Encodage défini par l&apos;&amp;utilisateur :</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="160"/>
        <source>An encoding number, in decimal or in hexadecimal after 0x</source>
        <translation>Un numéro d&apos;encodage, en décimal ou en hexadécimal après 0x</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="181"/>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <location filename="../../ui/preferences/PrefrencesController.ui" line="187"/>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>SearchWindow</name>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="14"/>
        <source>New target (drop files, folders or text here)</source>
        <translation>Nouveau canevas (déposer ici des fichiers, des dossiers ou du texte)</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="15"/>
        <source>New target</source>
        <translation>Nouveau canevas</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="34"/>
        <source>No target</source>
        <translation>Aucun canevas</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="35"/>
        <source>Current target</source>
        <translation>Canevas courant</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="44"/>
        <source>Search string:</source>
        <translation>Phrase recherchée :</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="85"/>
        <source>Options:</source>
        <translation>Options :</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="92"/>
        <source>Use a wildcard</source>
        <translation>Utiliser un joker</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="97"/>
        <source>Wildcard:</source>
        <translation>Joker :</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="118"/>
        <source>Line numbers</source>
        <translation>Numéros de ligne</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="123"/>
        <source>Ignore case (a-z)</source>
        <translation>Ignorer la casse (a-z)</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="128"/>
        <source>Go on after read errors</source>
        <translation>Continuer après les erreurs de lecture</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="133"/>
        <source>Skip names beginning with a dot</source>
        <translation>Ignorer les noms commençant par un point</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="149"/>
        <source>Folder:</source>
        <translation>Dossier :</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="162"/>
        <source>File:</source>
        <translation>Fichier :</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="175"/>
        <source>Size:</source>
        <translation>Taille :</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="188"/>
        <source>Found:</source>
        <translation>Trouvées :</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="201"/>
        <source>Files:</source>
        <translation>Fichiers :</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="214"/>
        <source>Bytes:</source>
        <translation>Octets :</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="227"/>
        <source>Errors:</source>
        <translation>Erreurs :</translation>
    </message>
</context>
<context>
    <name>TargetWindow</name>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="8"/>
        <source>Target</source>
        <translation>Canevas</translation>
    </message>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="15"/>
        <source>&amp;Find the text:</source>
        <translation>&amp;Texte à trouver :</translation>
    </message>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="45"/>
        <source>What to find: a word, a phrase, or bytes in hexadecimal</source>
        <translation>Ce qu&apos;il faut trouver : un mot, une phrase ou des octets en hexadécimal</translation>
    </message>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="52"/>
        <source>&amp;Name:</source>
        <translation>&amp;Nom :</translation>
    </message>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="58"/>
        <source>Made from the text until you type one</source>
        <translation>Tiré du texte tant que vous n&apos;en tapez pas un</translation>
    </message>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="69"/>
        <source>&amp;Wildcard:</source>
        <translation>&amp;Joker :</translation>
    </message>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="70"/>
        <source>This character matches any one byte</source>
        <translation>Ce caractère remplace n&apos;importe quel octet</translation>
    </message>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="76"/>
        <source>Wildcard character</source>
        <translation>Caractère joker</translation>
    </message>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="89"/>
        <source>&amp;Ignore case (A-Z)</source>
        <translation>&amp;Ignorer la casse (A-Z)</translation>
    </message>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="94"/>
        <source>&amp;Line numbers</source>
        <translation>Numéros de &amp;ligne</translation>
    </message>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="99"/>
        <source>&amp;Go on after errors</source>
        <translation>&amp;Continuer après une erreur</translation>
    </message>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="104"/>
        <source>S&amp;kip names beginning with a dot</source>
        <translation>I&amp;gnorer les noms commençant par un point</translation>
    </message>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="109"/>
        <source>End of line</source>
        <translation>Fin de ligne</translation>
    </message>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="113"/>
        <source>Line feed (LF)</source>
        <translation>Saut de ligne (LF)</translation>
    </message>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="118"/>
        <source>Carriage return (CR)</source>
        <translation>Retour chariot (CR)</translation>
    </message>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="128"/>
        <source>&amp;Look in these files and folders:</source>
        <translation>&amp;Chercher dans ces fichiers et dossiers :</translation>
    </message>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="147"/>
        <source>&amp;Add...</source>
        <translation>&amp;Ajouter...</translation>
    </message>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="148"/>
        <source>Choose files and folders to search</source>
        <translation>Choisir les fichiers et dossiers où chercher</translation>
    </message>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="154"/>
        <source>&amp;Remove</source>
        <translation>&amp;Retirer</translation>
    </message>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="160"/>
        <source>&amp;Info</source>
        <translation>&amp;Info</translation>
    </message>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="172"/>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <location filename="../../ui/target_editor/TargetController.ui" line="178"/>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>ViewerWindow</name>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="14"/>
        <source>Found Viewer</source>
        <translation>Visualiseur des occurrences</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="49"/>
        <source>Filter paths:</source>
        <translation>Filtrer les chemins :</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="62"/>
        <source>Filter paths</source>
        <translation>Filtrer les chemins</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="65"/>
        <source>Shows only the found files whose path holds this text</source>
        <translation>N&apos;affiche que les fichiers trouvés dont le chemin contient ce texte</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="84"/>
        <source>Found files</source>
        <translation>Fichiers trouvés</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="87"/>
        <source>Every found file of the result with its number of occurrences and its size</source>
        <translation>Chaque fichier trouvé du résultat avec son nombre d&apos;occurrences et sa taille</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="117"/>
        <source>File:</source>
        <translation>Fichier :</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="143"/>
        <source>Folder:</source>
        <translation>Dossier :</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="169"/>
        <source>Offset:</source>
        <translation>Position :</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="198"/>
        <source>Line:</source>
        <translation>Ligne :</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="232"/>
        <source>Files:</source>
        <translation>Fichiers :</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="241"/>
        <source>Previous file</source>
        <translation>Fichier précédent</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="247"/>
        <source>Previous file (Ctrl+Left)</source>
        <translation>Fichier précédent (Ctrl+Gauche)</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="263"/>
        <source>Next file</source>
        <translation>Fichier suivant</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="269"/>
        <source>Next file (Ctrl+Right)</source>
        <translation>Fichier suivant (Ctrl+Droite)</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="285"/>
        <source>File number</source>
        <translation>Numéro du fichier</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="301"/>
        <source>Go to file</source>
        <translation>Aller au fichier</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="304"/>
        <location filename="../../ui/viewer/ViewerController.ui" line="417"/>
        <source>Go</source>
        <translation>Aller</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="314"/>
        <source>File position</source>
        <translation>Position dans les fichiers</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="345"/>
        <source>Occurrences:</source>
        <translation>Occurrences :</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="354"/>
        <source>Previous occurrence</source>
        <translation>Occurrence précédente</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="360"/>
        <source>Previous occurrence (Shift+F3)</source>
        <translation>Occurrence précédente (Maj+F3)</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="376"/>
        <source>Next occurrence</source>
        <translation>Occurrence suivante</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="382"/>
        <source>Next occurrence (F3)</source>
        <translation>Occurrence suivante (F3)</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="398"/>
        <source>Occurrence number</source>
        <translation>Numéro de l&apos;occurrence</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="414"/>
        <source>Go to occurrence</source>
        <translation>Aller à l&apos;occurrence</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="427"/>
        <source>Occurrence position</source>
        <translation>Position dans les occurrences</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="480"/>
        <source>Show in File Manager</source>
        <translation>Montrer dans le gestionnaire de fichiers</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="490"/>
        <source>Info...</source>
        <translation>Info...</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="515"/>
        <source>Occurrence excerpt</source>
        <translation>Extrait autour de l&apos;occurrence</translation>
    </message>
</context>
</TS>
