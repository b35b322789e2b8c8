<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>AlertPanel</name>
    <message>
        <location filename="../../ui/AlertController.ui" line="10"/>
        <source>Alert</source>
        <translation>Alerte</translation>
    </message>
    <message>
        <location filename="../../ui/AlertController.ui" line="51"/>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <location filename="../../ui/MainWindow.ui" line="10"/>
        <source>Trawlex</source>
        <translation>Trawlex</translation>
    </message>
    <message>
        <location filename="../../ui/MainWindow.ui" line="22"/>
        <source>Finds every occurrence of a string of bytes in the contents of files.</source>
        <translation>Trouve chaque occurrence d&apos;une suite d&apos;octets dans le contenu des fichiers.</translation>
    </message>
    <message>
        <location filename="../../ui/MainWindow.ui" line="31"/>
        <source>&amp;Trawlex</source>
        <translation>&amp;Trawlex</translation>
    </message>
    <message>
        <location filename="../../ui/MainWindow.ui" line="39"/>
        <source>&amp;Window</source>
        <translation>F&amp;enêtre</translation>
    </message>
    <message>
        <location filename="../../ui/MainWindow.ui" line="44"/>
        <source>&amp;Help</source>
        <translation>&amp;Aide</translation>
    </message>
    <message>
        <location filename="../../ui/MainWindow.ui" line="53"/>
        <source>&amp;About Trawlex</source>
        <translation>À &amp;propos de Trawlex</translation>
    </message>
    <message>
        <location filename="../../ui/MainWindow.ui" line="57"/>
        <source>&amp;Preferences…</source>
        <translation>&amp;Préférences…</translation>
    </message>
    <message>
        <location filename="../../ui/MainWindow.ui" line="62"/>
        <source>&amp;Quit</source>
        <translation>&amp;Quitter</translation>
    </message>
    <message>
        <location filename="../../ui/MainWindow.ui" line="67"/>
        <source>&amp;Set Window Color…</source>
        <translation>&amp;Choisir la couleur des fenêtres…</translation>
    </message>
    <message>
        <location filename="../../ui/MainWindow.ui" line="70"/>
        <source>&amp;Clear Window Color</source>
        <translation>&amp;Effacer la couleur des fenêtres</translation>
    </message>
    <message>
        <location filename="../../ui/MainWindow.ui" line="73"/>
        <source>Trawlex &amp;Help</source>
        <translation>&amp;Aide de Trawlex</translation>
    </message>
</context>
</TS>
