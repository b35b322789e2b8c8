<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>AlertPanel</name>
    <message>
        <location filename="../../ui/shell/AlertController.ui" line="10"/>
        <source>Alert</source>
        <translation>Alerte</translation>
    </message>
    <message>
        <location filename="../../ui/shell/AlertController.ui" line="51"/>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="10"/>
        <source>Trawlex</source>
        <translation>Trawlex</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="22"/>
        <source>Finds every occurrence of a string of bytes in the contents of files.</source>
        <translation>Trouve chaque occurrence d&apos;une suite d&apos;octets dans le contenu des fichiers.</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="31"/>
        <source>&amp;Trawlex</source>
        <translation>&amp;Trawlex</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="39"/>
        <source>&amp;Window</source>
        <translation>F&amp;enêtre</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="44"/>
        <source>&amp;Help</source>
        <translation>&amp;Aide</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="53"/>
        <source>&amp;About Trawlex</source>
        <translation>À &amp;propos de Trawlex</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="57"/>
        <source>&amp;Preferences…</source>
        <translation>&amp;Préférences…</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="62"/>
        <source>&amp;Quit</source>
        <translation>&amp;Quitter</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="67"/>
        <source>&amp;Set Window Color…</source>
        <translation>&amp;Choisir la couleur des fenêtres…</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="70"/>
        <source>&amp;Clear Window Color</source>
        <translation>&amp;Effacer la couleur des fenêtres</translation>
    </message>
    <message>
        <location filename="../../ui/shell/MainWindow.ui" line="73"/>
        <source>Trawlex &amp;Help</source>
        <translation>&amp;Aide de Trawlex</translation>
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
        <location filename="../../ui/search/SearchController.ui" line="33"/>
        <source>No target</source>
        <translation>Aucun canevas</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="42"/>
        <source>Search string:</source>
        <translation>Phrase recherchée :</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="82"/>
        <source>Options:</source>
        <translation>Options :</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="89"/>
        <source>Use a wildcard</source>
        <translation>Utiliser un joker</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="94"/>
        <source>Wildcard:</source>
        <translation>Joker :</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="114"/>
        <source>Line numbers</source>
        <translation>Numéros de ligne</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="119"/>
        <source>Ignore case (a-z)</source>
        <translation>Ignorer la casse (a-z)</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="124"/>
        <source>Go on after read errors</source>
        <translation>Continuer après les erreurs de lecture</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="129"/>
        <source>Skip names beginning with a dot</source>
        <translation>Ignorer les noms commençant par un point</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="145"/>
        <source>Folder:</source>
        <translation>Dossier :</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="157"/>
        <source>File:</source>
        <translation>Fichier :</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="169"/>
        <source>Size:</source>
        <translation>Taille :</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="181"/>
        <source>Found:</source>
        <translation>Trouvées :</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="193"/>
        <source>Files:</source>
        <translation>Fichiers :</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="205"/>
        <source>Bytes:</source>
        <translation>Octets :</translation>
    </message>
    <message>
        <location filename="../../ui/search/SearchController.ui" line="217"/>
        <source>Errors:</source>
        <translation>Erreurs :</translation>
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
        <location filename="../../ui/viewer/ViewerController.ui" line="20"/>
        <source>File:</source>
        <translation>Fichier :</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="46"/>
        <source>Folder:</source>
        <translation>Dossier :</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="72"/>
        <source>Offset:</source>
        <translation>Position :</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="101"/>
        <source>Line:</source>
        <translation>Ligne :</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="135"/>
        <source>Files:</source>
        <translation>Fichiers :</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="147"/>
        <source>Previous file (Ctrl+Left)</source>
        <translation>Fichier précédent (Ctrl+Gauche)</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="166"/>
        <source>Next file (Ctrl+Right)</source>
        <translation>Fichier suivant (Ctrl+Droite)</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="195"/>
        <location filename="../../ui/viewer/ViewerController.ui" line="293"/>
        <source>Go</source>
        <translation>Aller</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="233"/>
        <source>Occurrences:</source>
        <translation>Occurrences :</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="245"/>
        <source>Previous occurrence (Page Up)</source>
        <translation>Occurrence précédente (Page précédente)</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="264"/>
        <source>Next occurrence (Page Down)</source>
        <translation>Occurrence suivante (Page suivante)</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="353"/>
        <source>Show in File Manager</source>
        <translation>Montrer dans le gestionnaire de fichiers</translation>
    </message>
    <message>
        <location filename="../../ui/viewer/ViewerController.ui" line="363"/>
        <source>Info...</source>
        <translation>Info...</translation>
    </message>
</context>
</TS>
