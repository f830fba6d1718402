<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>CFilterEdit</name>
    <message>
        <source>Filter</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
</context>
<context>
    <name>CLabelPress</name>
    <message>
        <source>Translate for us</source>
        <translation>Helfen Sie beim Übersetzen</translation>
    </message>
</context>
<context>
    <name>CReadyWidget</name>
    <message>
        <source>Refresh Your Enjoyment!</source>
        <translation>Musik neu erleben!</translation>
    </message>
    <message>
        <source>1,Choose the audio source by clicking</source>
        <translation>1. Audioquelle wählen – klicken Sie auf</translation>
    </message>
    <message>
        <source>2,Start recording by clicking</source>
        <translation>2. Aufnahme starten – klicken Sie auf</translation>
    </message>
</context>
<context>
    <name>CSkinWidget</name>
    <message>
        <source>Choose your favourite background:</source>
        <translation>Wählen Sie Ihren Lieblingshintergrund:</translation>
    </message>
</context>
<context>
    <name>CStatusBar</name>
    <message>
        <source>Audio Source</source>
        <translation>Audioquelle</translation>
    </message>
    <message>
        <source>Recording task scheduler</source>
        <translation>Aufnahmeplaner</translation>
    </message>
    <message>
        <source>Add PlayList</source>
        <translation>Wiedergabeliste hinzufügen</translation>
    </message>
    <message>
        <source>Add to iTunes</source>
        <translation>Zu iTunes hinzufügen</translation>
    </message>
    <message>
        <source>Recording</source>
        <translation>Aufnahme</translation>
    </message>
    <message>
        <source>Media</source>
        <translation>Medien</translation>
    </message>
</context>
</TS>
