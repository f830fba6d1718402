<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>CAbout</name>
    <message>
        <source>&lt;p&gt;Records what your computer plays, song by song.&lt;/p&gt;</source>
        <translation>&lt;p&gt;Nimmt auf, was Ihr Computer abspielt – Titel für Titel.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Version:</source>
        <translation>Version:</translation>
    </message>
    <message>
        <source>Support:</source>
        <translation>Support:</translation>
    </message>
    <message>
        <source>Home Page:</source>
        <translation>Homepage:</translation>
    </message>
</context>
<context>
    <name>CAddToiTunesDialog</name>
    <message>
        <source>
Add Music To iTunes 
</source>
        <translation>
Musik zu iTunes hinzufügen 
</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Add To iTunes</source>
        <translation>Zu iTunes hinzufügen</translation>
    </message>
    <message>
        <source>Adding...

Current File:%1</source>
        <translation>Wird hinzugefügt...

Aktuelle Datei: %1</translation>
    </message>
    <message>
        <source>
Do not find iTunes
Please try after install iTunes
</source>
        <translation>
iTunes wurde nicht gefunden.
Bitte installieren Sie iTunes und versuchen Sie es erneut.
</translation>
    </message>
</context>
<context>
    <name>CBugReport</name>
    <message>
        <source>Mail Adress</source>
        <translation>E-Mail-Adresse</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Please describe your problem here.</source>
        <translation>Bitte beschreiben Sie hier Ihr Problem.</translation>
    </message>
    <message>
        <source>Bug Report</source>
        <translation>Fehlerbericht</translation>
    </message>
    <message>
        <source>Your Name:</source>
        <translation>Ihr Name:</translation>
    </message>
    <message>
        <source>E-mail:</source>
        <translation>E-Mail:</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Please report your bug with filling your email.
(Will not be published).</source>
        <translation>Bitte geben Sie für den Fehlerbericht Ihre E-Mail-Adresse an.
(Sie wird nicht veröffentlicht.)</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>E-mail address is incorrect, 
please refill in a correct email.</source>
        <translation>Die E-Mail-Adresse ist ungültig.
Bitte geben Sie eine gültige Adresse ein.</translation>
    </message>
    <message>
        <source>Send bug report mail success!</source>
        <translation>Der Fehlerbericht wurde gesendet.</translation>
    </message>
    <message>
        <source>Send bug report mail failed!</source>
        <translation>Der Fehlerbericht konnte nicht gesendet werden.</translation>
    </message>
    <message>
        <source>The bug report mail was sent without the attached data: they could not be packed.</source>
        <translation>Der Fehlerbericht wurde ohne die angehängten Daten gesendet: Sie konnten nicht gepackt werden.</translation>
    </message>
    <message>
        <source>Send bug report mail failed, Err: %1</source>
        <translation>Der Fehlerbericht konnte nicht gesendet werden, Fehler: %1</translation>
    </message>
</context>
<context>
    <name>CDeleteDialog</name>
    <message>
        <source>Do not show this again</source>
        <translation>Nicht mehr anzeigen</translation>
    </message>
    <message>
        <source>Your computer will be shutdown in %1 seconds</source>
        <translation>Der Computer wird in %1 Sek. heruntergefahren.</translation>
    </message>
</context>
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
    <name>CGUITavrelRegister</name>
    <message>
        <source>You are using the newest version</source>
        <translation>Sie verwenden die neueste Version.</translation>
    </message>
    <message>
        <source>A new version of %1 found! 
Current version: %2
New version: %3

Would you like to update the product?</source>
        <translation>Eine neue Version von %1 ist verfügbar.
Installierte Version: %2
Neue Version: %3

Möchten Sie jetzt aktualisieren?</translation>
    </message>
    <message>
        <source>Could not check for updates</source>
        <translation>Es konnte nicht nach Updates gesucht werden.</translation>
    </message>
</context>
<context>
    <name>CGraphicsView</name>
    <message>
        <source>Unkown Artist</source>
        <translation>Unbekannter Interpret</translation>
    </message>
</context>
<context>
    <name>CInstallExtrasDialog</name>
    <message>
        <source>Tavrel Audio Device is not currently installed.
</source>
        <translation>Tavrel Audio Device ist derzeit nicht installiert.
</translation>
    </message>
    <message>
        <source>Tavrel Audio Device enables you to record audio from any source 
instantly,with no need to quit and relaunch open applications.
</source>
        <translation>Mit Tavrel Audio Device nehmen Sie Audio aus jeder Quelle sofort auf,
ohne geöffnete Programme beenden und neu starten zu müssen.
</translation>
    </message>
    <message>
        <source>Now,install Tavrel Audio Device for the easiest audio recording.</source>
        <translation>Installieren Sie jetzt Tavrel Audio Device für die einfachste Audioaufnahme.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Install</source>
        <translation>Installieren</translation>
    </message>
    <message>
        <source>Install Tavrel Audio Device</source>
        <translation>Tavrel Audio Device installieren</translation>
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
    <name>CMainUI</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Online Help</source>
        <translation>Online-Hilfe</translation>
    </message>
    <message>
        <source>Home Page</source>
        <translation>Homepage</translation>
    </message>
    <message>
        <source>Support</source>
        <translation>Support</translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <translation>Nach Updates suchen</translation>
    </message>
    <message>
        <source>Bug Report</source>
        <translation>Fehlerbericht</translation>
    </message>
    <message>
        <source>About</source>
        <translation>Über Sonacap</translation>
    </message>
    <message>
        <source>Translate Sonacap for us</source>
        <translation>Beim Übersetzen von Sonacap helfen</translation>
    </message>
    <message>
        <source>Are you sure to quit the programme?
Unfinished recording will be lost if you quit now!</source>
        <translation>Möchten Sie das Programm wirklich beenden?
Die laufende Aufnahme geht dabei verloren!</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Are you sure to quit the programme?
It is sending bug report mail!</source>
        <translation>Möchten Sie das Programm wirklich beenden?
Der Fehlerbericht wird gerade gesendet!</translation>
    </message>
    <message>
        <source>Song playing unavailable, 
original file could not be found.</source>
        <translation>Der Song kann nicht abgespielt werden,
die Originaldatei wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>The programme is recording now.
Do you want to stop it and start to play music?</source>
        <translation>Gerade läuft eine Aufnahme.
Möchten Sie sie beenden und die Wiedergabe starten?</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>Please shut down Nahimic and restart computer to start recording normally!</source>
        <translation>Bitte beenden Sie Nahimic und starten Sie den Computer neu, damit die Aufnahme normal funktioniert.</translation>
    </message>
    <message>
        <source>Recording could not start.</source>
        <translation>Die Aufnahme konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Recording task scheduler</source>
        <translation>Aufnahmeplaner</translation>
    </message>
    <message>
        <source>Please change the audio channel output settings to stereo,or you&apos;ll need to wait for a while when you stop recording.</source>
        <translation>Bitte stellen Sie die Audioausgabe auf Stereo um, sonst dauert das Beenden einer Aufnahme eine Weile.</translation>
    </message>
    <message>
        <source>   A recording task is running
Tomorrow </source>
        <translation>   Eine geplante Aufnahme ist aktiv
Morgen </translation>
    </message>
    <message>
        <source>A recording task is running
     </source>
        <translation>Eine geplante Aufnahme ist aktiv
     </translation>
    </message>
    <message>
        <source>Shutdown</source>
        <translation>Herunterfahren</translation>
    </message>
    <message>
        <source>Your computer will be shutdown in 60 seconds</source>
        <translation>Der Computer wird in 60 Sek. heruntergefahren.</translation>
    </message>
    <message>
        <source>the file was cut short</source>
        <translation>die Datei war abgeschnitten</translation>
    </message>
    <message>
        <source>the file was no library</source>
        <translation>die Datei war keine Bibliothek</translation>
    </message>
    <message>
        <source>a folder had taken its place</source>
        <translation>ein Ordner hatte ihren Platz eingenommen</translation>
    </message>
    <message>
        <source>the file was empty</source>
        <translation>die Datei war leer</translation>
    </message>
    <message>
        <source>the file could not be read</source>
        <translation>die Datei konnte nicht gelesen werden</translation>
    </message>
    <message>
        <source>some of its pages were damaged</source>
        <translation>einige ihrer Seiten waren beschädigt</translation>
    </message>
    <message>
        <source>The library could not be used as it was: %1.
A new library was made of everything that could still be read: %2 songs kept with their data, %3 songs back from their files only (with what their tags tell). New recordings go into it.</source>
        <translation>Die Bibliothek konnte nicht so verwendet werden, wie sie war: %1.
Aus allem, was sich noch lesen ließ, wurde eine neue Bibliothek angelegt: %2 Titel mit ihren Daten erhalten, %3 Titel nur aus ihren Dateien zurückgeholt (mit dem, was ihre Tags angeben). Neue Aufnahmen werden darin gespeichert.</translation>
    </message>
    <message>
        <source>The library is damaged: %1.
There was no room to rebuild it, so it is used as it is: songs on damaged pages are not shown, and nothing of it is deleted.</source>
        <translation>Die Bibliothek ist beschädigt: %1.
Für eine Wiederherstellung war kein Platz, daher wird sie so verwendet, wie sie ist: Titel auf beschädigten Seiten werden nicht angezeigt, und nichts davon wird gelöscht.</translation>
    </message>
    <message>
        <source>No copy of it could be made.</source>
        <translation>Es konnte keine Kopie davon angelegt werden.</translation>
    </message>
    <message>
        <source>A copy of it as it was is kept as:
%1</source>
        <translation>Eine Kopie im vorgefundenen Zustand wurde gespeichert als:
%1</translation>
    </message>
    <message>
        <source>Finishing the last recording...</source>
        <translation>Die letzte Aufnahme wird abgeschlossen...</translation>
    </message>
    <message>
        <source>Finishing the last recording before closing...</source>
        <translation>Die letzte Aufnahme wird vor dem Beenden abgeschlossen...</translation>
    </message>
    <message>
        <source>Close now</source>
        <translation>Jetzt beenden</translation>
    </message>
    <message>
        <source>This song cannot be played: its file exists but holds no sound the player can read.
%1</source>
        <translation>Dieser Titel kann nicht abgespielt werden: Die Datei ist vorhanden, enthält aber keinen lesbaren Ton.
%1</translation>
    </message>
    <message>
        <source>There is not enough free space on the disk of the output folder:
%1</source>
        <translation>Auf dem Datenträger des Ausgabeordners ist nicht genug Platz frei:
%1</translation>
    </message>
    <message>
        <source>The sound server cannot be reached, so there is nothing to record from.</source>
        <translation>Der Soundserver ist nicht erreichbar, daher gibt es nichts aufzunehmen.</translation>
    </message>
    <message>
        <source>The recording device &quot;%1&quot; cannot be found.</source>
        <translation>Das Aufnahmegerät „%1“ wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>There is no output device whose sound could be recorded.</source>
        <translation>Es gibt kein Ausgabegerät, dessen Ton aufgenommen werden könnte.</translation>
    </message>
    <message>
        <source>The recording device does not offer the chosen sample rate.</source>
        <translation>Das Aufnahmegerät bietet die gewählte Abtastrate nicht an.</translation>
    </message>
    <message>
        <source>Songs cannot be written in the chosen format.</source>
        <translation>Titel können im gewählten Format nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>The recording engine reported error %1.</source>
        <translation>Die Aufnahmekomponente meldete den Fehler %1.</translation>
    </message>
    <message>
        <source>The sound server does not answer. Restart the sound system or the computer, then try again.</source>
        <translation>Der Soundserver antwortet nicht. Starten Sie das Soundsystem oder den Computer neu und versuchen Sie es dann erneut.</translation>
    </message>
    <message>
        <source>Recording has stopped: the disk of the output folder is nearly full (%1 MB free):
%2
Songs recorded until now are kept.</source>
        <translation>Die Aufnahme wurde beendet: Der Datenträger des Ausgabeordners ist fast voll (%1 MB frei):
%2
Die bisher aufgenommenen Titel bleiben erhalten.</translation>
    </message>
    <message>
        <source>Recording has stopped: the disk of the output folder is full:
%1</source>
        <translation>Die Aufnahme wurde beendet: Der Datenträger des Ausgabeordners ist voll:
%1</translation>
    </message>
    <message>
        <source>Recording has stopped: the output folder cannot be written (removed, read-only or not permitted):
%1</source>
        <translation>Die Aufnahme wurde beendet: In den Ausgabeordner kann nicht geschrieben werden (entfernt, schreibgeschützt oder nicht erlaubt):
%1</translation>
    </message>
    <message>
        <source>Recording has stopped: writing into the output folder failed (%1):
%2</source>
        <translation>Die Aufnahme wurde beendet: Das Schreiben in den Ausgabeordner ist fehlgeschlagen (%1):
%2</translation>
    </message>
    <message>
        <source>No part of the last song could be kept.</source>
        <translation>Vom letzten Titel konnte nichts erhalten werden.</translation>
    </message>
    <message>
        <source>The song recorded until then is kept:
%1</source>
        <translation>Der bis dahin aufgenommene Titel bleibt erhalten:
%1</translation>
    </message>
    <message>
        <source>Waiting for the sound server</source>
        <translation>Warten auf den Soundserver</translation>
    </message>
    <message>
        <source>The sound server stopped delivering sound: it was closed or does not answer.
The song recorded until then is kept. Recording goes on by itself as soon as the sound server is back.</source>
        <translation>Der Soundserver liefert keinen Ton mehr: Er wurde beendet oder antwortet nicht.
Der bis dahin aufgenommene Titel bleibt erhalten. Die Aufnahme geht von selbst weiter, sobald der Soundserver wieder da ist.</translation>
    </message>
    <message>
        <source>New recordings cannot be stored in the library: %1
They are kept in the output folder:
%2</source>
        <translation>Neue Aufnahmen können nicht in der Bibliothek gespeichert werden: %1
Sie bleiben im Ausgabeordner erhalten:
%2</translation>
    </message>
    <message>
        <source>The library is full: it holds at most 100,000 songs.
New recordings are kept in the output folder:
%1</source>
        <translation>Die Bibliothek ist voll: Sie fasst höchstens 100.000 Titel.
Neue Aufnahmen bleiben im Ausgabeordner erhalten:
%1</translation>
    </message>
    <message>
        <source>The library is in use by another program:
%1
It is left as it is and cannot be changed until that program lets it go; the songs you record until then are kept in the output folder and go into the library once it is free. If that program changed the library meanwhile, the library stays as it is and the songs go into it at the next start.</source>
        <translation>Die Bibliothek wird von einem anderen Programm verwendet:
%1
Sie bleibt unverändert und kann nicht geändert werden, bis das andere Programm sie freigibt; Ihre Aufnahmen bis dahin werden im Ausgabeordner aufbewahrt und in die Bibliothek übernommen, sobald sie frei ist. Hat das andere Programm die Bibliothek inzwischen geändert, bleibt sie unverändert, und die Aufnahmen werden beim nächsten Start übernommen.</translation>
    </message>
    <message>
        <source>The library is in use by another program and cannot be changed now.</source>
        <translation>Die Bibliothek wird von einem anderen Programm verwendet und kann jetzt nicht geändert werden.</translation>
    </message>
</context>
<context>
    <name>CMiniListItem</name>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>Interpret</translation>
    </message>
</context>
<context>
    <name>CMusicInfoTreeWidget</name>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Dauer</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>Interpret</translation>
    </message>
    <message>
        <source>Album</source>
        <translation>Album</translation>
    </message>
    <message>
        <source>Genre</source>
        <translation>Genre</translation>
    </message>
    <message>
        <source>Date Added</source>
        <translation>Hinzugefügt am</translation>
    </message>
</context>
<context>
    <name>CMusicTagsEditDialog</name>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Title:</source>
        <translation>Titel:</translation>
    </message>
    <message>
        <source>Artist:</source>
        <translation>Interpret:</translation>
    </message>
    <message>
        <source>Album:</source>
        <translation>Album:</translation>
    </message>
    <message>
        <source>Year:</source>
        <translation>Jahr:</translation>
    </message>
    <message>
        <source>Genre:</source>
        <translation>Genre:</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>Sonstiges</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Music Tags Edit</source>
        <translation>Musik-Tags bearbeiten</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>Datei öffnen</translation>
    </message>
    <message>
        <source>Images</source>
        <translation>Bilder</translation>
    </message>
    <message>
        <source>The picture &quot;%1&quot; could not be copied into &quot;%2&quot;.
Nothing was changed.</source>
        <translation>Das Bild „%1“ konnte nicht nach „%2“ kopiert werden.
Es wurde nichts geändert.</translation>
    </message>
    <message>
        <source>The song file &quot;%1&quot; could not be renamed after the title.
Nothing was changed.</source>
        <translation>Die Musikdatei „%1“ konnte nicht nach dem Titel umbenannt werden.
Es wurde nichts geändert.</translation>
    </message>
    <message>
        <source>The library could not store the covers.
Nothing was changed.</source>
        <translation>Die Mediathek konnte die Cover nicht speichern.
Es wurde nichts geändert.</translation>
    </message>
</context>
<context>
    <name>CNetWidget</name>
    <message>
        <source>Enable Proxy</source>
        <translation>Proxy verwenden</translation>
    </message>
    <message>
        <source>Proxy type:</source>
        <translation>Proxy-Typ:</translation>
    </message>
    <message>
        <source>Proxy host:</source>
        <translation>Proxy-Server:</translation>
    </message>
    <message>
        <source>Proxy port:</source>
        <translation>Proxy-Port:</translation>
    </message>
    <message>
        <source>Proxy name:</source>
        <translation>Benutzername:</translation>
    </message>
    <message>
        <source>Proxy password:</source>
        <translation>Kennwort:</translation>
    </message>
</context>
<context>
    <name>CPasswordDialog</name>
    <message>
        <source>Trying to install kext. Please enter admin account and password.</source>
        <translation>Für die Installation des Treibers geben Sie bitte ein Administratorkonto und dessen Kennwort ein.</translation>
    </message>
    <message>
        <source>Admin account</source>
        <translation>Administratorkonto</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Kennwort</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Install</source>
        <translation>Installieren</translation>
    </message>
</context>
<context>
    <name>CPreferencesDialog</name>
    <message>
        <source>0.2</source>
        <translation>0,2</translation>
    </message>
    <message>
        <source>0.4</source>
        <translation>0,4</translation>
    </message>
    <message>
        <source>0.6</source>
        <translation>0,6</translation>
    </message>
    <message>
        <source>0.8</source>
        <translation>0,8</translation>
    </message>
    <message>
        <source>1.0</source>
        <translation>1,0</translation>
    </message>
    <message>
        <source>1.5</source>
        <translation>1,5</translation>
    </message>
    <message>
        <source>2.0</source>
        <translation>2,0</translation>
    </message>
    <message>
        <source>3.0</source>
        <translation>3,0</translation>
    </message>
    <message>
        <source>4.0</source>
        <translation>4,0</translation>
    </message>
    <message>
        <source>5.0</source>
        <translation>5,0</translation>
    </message>
    <message>
        <source>10.0</source>
        <translation>10,0</translation>
    </message>
    <message>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <source>Audio Source</source>
        <translation>Audioquelle</translation>
    </message>
    <message>
        <source>Scheduler</source>
        <translation>Zeitplan</translation>
    </message>
    <message>
        <source>Control</source>
        <translation>Steuerung</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>Verbindung</translation>
    </message>
    <message>
        <source>Skin</source>
        <translation>Design</translation>
    </message>
    <message>
        <source>English</source>
        <translation>Englisch</translation>
    </message>
    <message>
        <source>Japanese</source>
        <translation>Japanisch</translation>
    </message>
    <message>
        <source>German</source>
        <translation>Deutsch</translation>
    </message>
    <message>
        <source>Russian</source>
        <translation>Russisch</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Output:</source>
        <translation>Ausgabe:</translation>
    </message>
    <message>
        <source>Language:</source>
        <translation>Sprache:</translation>
    </message>
    <message>
        <source>Choose your language:</source>
        <translation>Sprache auswählen:</translation>
    </message>
    <message>
        <source>Translate for us</source>
        <translation>Helfen Sie beim Übersetzen</translation>
    </message>
    <message>
        <source>Automatically split when the silence is more than</source>
        <translation>Automatisch trennen, wenn die Stille länger ist als</translation>
    </message>
    <message>
        <source>Automatically filter,only save tracks longer than</source>
        <translation>Automatisch filtern, nur Titel speichern, die länger sind als</translation>
    </message>
    <message>
        <source>seconds</source>
        <translation>Sekunden</translation>
    </message>
    <message>
        <source>Output Format:</source>
        <translation>Ausgabeformat:</translation>
    </message>
    <message>
        <source>mp3 Audio(*.mp3)</source>
        <translation>MP3-Audio (*.mp3)</translation>
    </message>
    <message>
        <source>wav Audio(*.wav)</source>
        <translation>WAV-Audio (*.wav)</translation>
    </message>
    <message>
        <source>Audio Setting:</source>
        <translation>Audioeinstellungen:</translation>
    </message>
    <message>
        <source>Audio Codec:</source>
        <translation>Audiocodec:</translation>
    </message>
    <message>
        <source>Bit Rate(Kbps):</source>
        <translation>Bitrate (kbit/s):</translation>
    </message>
    <message>
        <source>Sample Rate(HZ):</source>
        <translation>Abtastrate (Hz):</translation>
    </message>
    <message>
        <source>Choose another folder.</source>
        <translation>Wählen Sie einen anderen Ordner.</translation>
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
    <name>CSetSourceDialog</name>
    <message>
        <source>Record Audio Input </source>
        <translation>Audioeingang aufnehmen </translation>
    </message>
    <message>
        <source>Record Mic or other built-in input audio stream</source>
        <translation>Mikrofon oder einen anderen eingebauten Audioeingang aufnehmen</translation>
    </message>
    <message>
        <source>Record Computer Audio</source>
        <translation>Computer-Audio aufnehmen</translation>
    </message>
    <message>
        <source>Record computer audio stream or online music</source>
        <translation>Audio des Computers oder Online-Musik aufnehmen</translation>
    </message>
</context>
<context>
    <name>CSetTaskDialog</name>
    <message>
        <source>shut down after recording finished</source>
        <translation>Computer nach der Aufnahme herunterfahren</translation>
    </message>
    <message>
        <source>Start time:</source>
        <translation>Startzeit:</translation>
    </message>
    <message>
        <source>Recording Duration:</source>
        <translation>Aufnahmedauer:</translation>
    </message>
    <message>
        <source>Task Scheduler:</source>
        <translation>Geplante Aufnahme:</translation>
    </message>
</context>
<context>
    <name>CShowCoverWidget</name>
    <message>
        <source>Play</source>
        <translation>Abspielen</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Show in Folder</source>
        <translation>Im Ordner anzeigen</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>Interpret</translation>
    </message>
</context>
<context>
    <name>CShowListWidget</name>
    <message>
        <source>Filter</source>
        <translation>Filter</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Alle</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>Interpret</translation>
    </message>
    <message>
        <source>Album</source>
        <translation>Album</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Abspielen</translation>
    </message>
    <message>
        <source>Edit Music Tags</source>
        <translation>Musik-Tags bearbeiten</translation>
    </message>
    <message>
        <source>Add to playlist</source>
        <translation>Zur Wiedergabeliste hinzufügen</translation>
    </message>
    <message>
        <source>Add to iTunes</source>
        <translation>Zu iTunes hinzufügen</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Alle auswählen</translation>
    </message>
    <message>
        <source>Unselect All</source>
        <translation>Auswahl aufheben</translation>
    </message>
    <message>
        <source>Show in Folder</source>
        <translation>Im Ordner anzeigen</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Date Played</source>
        <translation>Gespielt am</translation>
    </message>
    <message>
        <source>Date Added</source>
        <translation>Hinzugefügt am</translation>
    </message>
    <message>
        <source>Unknown Artist</source>
        <translation>Unbekannter Interpret</translation>
    </message>
    <message>
        <source>Unknown Album</source>
        <translation>Unbekanntes Album</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Are you sure you want to delete the 
selected file from Library?
Its original file will also be deleted.
 </source>
        <translation>Möchten Sie die ausgewählte Datei wirklich 
aus der Bibliothek löschen?
Ihre Originaldatei wird ebenfalls gelöscht.
 </translation>
    </message>
    <message>
        <source>Are you sure to delete the selected file?
</source>
        <translation>Möchten Sie die ausgewählte Datei wirklich löschen?
</translation>
    </message>
    <message>
        <source>Track</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>The library could not store the new song data.</source>
        <translation>Die Mediathek konnte die neuen Songdaten nicht speichern.</translation>
    </message>
    <message>
        <source>Writing the song data into the file...</source>
        <translation>Die Songdaten werden in die Datei geschrieben...</translation>
    </message>
    <message>
        <source>The song data could not be written into the file:
%1
The file was left as it was.</source>
        <translation>Die Songdaten konnten nicht in die Datei geschrieben werden:
%1
Die Datei blieb unverändert.</translation>
    </message>
    <message>
        <source>Are you sure you want to delete the play list &quot;%1&quot;?
Its songs stay in the library.</source>
        <translation>Möchten Sie die Wiedergabeliste „%1“ wirklich löschen?
Ihre Titel bleiben in der Bibliothek.</translation>
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
<context>
    <name>CToolBar</name>
    <message>
        <source>Playing</source>
        <translation>Wiedergabe</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Starten</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Abspielen</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>Aufnehmen</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stoppen</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>Bibliothek</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>Pausiert</translation>
    </message>
    <message>
        <source>Unknown Artist</source>
        <translation>Unbekannter Interpret</translation>
    </message>
    <message>
        <source>Recording</source>
        <translation>Aufnahme</translation>
    </message>
</context>
<context>
    <name>CTreeLib</name>
    <message>
        <source>Library</source>
        <translation>Bibliothek</translation>
    </message>
    <message>
        <source>PlayList</source>
        <translation>Wiedergabelisten</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Abspielen</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>Umbenennen</translation>
    </message>
    <message>
        <source>Add to iTunes Library</source>
        <translation>Zur iTunes-Mediathek hinzufügen</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Create Library Failed!</source>
        <translation>Bibliothek konnte nicht erstellt werden</translation>
    </message>
    <message>
        <source>Get Library info failed!</source>
        <translation>Die Bibliotheksdaten konnten nicht gelesen werden.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>The number of playlists has reached the maximum.
Note: the maximum playlists are 999.
</source>
        <translation>Die Anzahl der Wiedergabelisten hat das Maximum erreicht.
Hinweis: Es sind höchstens 999 Wiedergabelisten möglich.
</translation>
    </message>
    <message>
        <source>Create List Failed!</source>
        <translation>Wiedergabeliste konnte nicht erstellt werden</translation>
    </message>
    <message>
        <source>All Recordings</source>
        <translation>Alle Aufnahmen</translation>
    </message>
    <message>
        <source>New Recordings</source>
        <translation>Neue Aufnahmen</translation>
    </message>
    <message>
        <source>Recently Played</source>
        <translation>Zuletzt gespielt</translation>
    </message>
</context>
<context>
    <name>DesktopLinks</name>
    <message>
        <source>No file manager could open this folder. Open it yourself:
%1</source>
        <translation>Kein Dateimanager konnte diesen Ordner öffnen. Öffnen Sie ihn selbst:
%1</translation>
    </message>
    <message>
        <source>No web browser could open this page. Open it yourself:
%1</source>
        <translation>Kein Webbrowser konnte diese Seite öffnen. Öffnen Sie sie selbst:
%1</translation>
    </message>
</context>
<context>
    <name>DiskNoEnoughDialog</name>
    <message>
        <source>The current path is invalid!</source>
        <translation>Der aktuelle Pfad ist ungültig!</translation>
    </message>
</context>
<context>
    <name>OutputFolderCheck</name>
    <message>
        <source>No output folder is chosen. Choose one in Settings.</source>
        <translation>Es ist kein Ausgabeordner gewählt. Wählen Sie einen in den Einstellungen.</translation>
    </message>
    <message>
        <source>The output folder is a file, not a folder:
%1</source>
        <translation>Der Ausgabeordner ist eine Datei, kein Ordner:
%1</translation>
    </message>
    <message>
        <source>The output folder belongs to the system and cannot hold recordings:
%1</source>
        <translation>Der Ausgabeordner gehört zum System und kann keine Aufnahmen speichern:
%1</translation>
    </message>
    <message>
        <source>The output folder does not exist and cannot be created:
%1</source>
        <translation>Der Ausgabeordner existiert nicht und kann nicht angelegt werden:
%1</translation>
    </message>
    <message>
        <source>The output folder cannot be written:
%1</source>
        <translation>In den Ausgabeordner kann nicht geschrieben werden:
%1</translation>
    </message>
</context>
<context>
    <name>ProductUpdateInfo</name>
    <message>
        <source>Check for updates...</source>
        <translation>Suche nach Updates...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>All Recordings</source>
        <translation>Alle Aufnahmen</translation>
    </message>
    <message>
        <source>New Recordings</source>
        <translation>Neue Aufnahmen</translation>
    </message>
    <message>
        <source>Recently Played</source>
        <translation>Zuletzt gespielt</translation>
    </message>
    <message>
        <source>PlayList 1</source>
        <translation>Wiedergabeliste 1</translation>
    </message>
    <message>
        <source>PlayList</source>
        <translation>Wiedergabeliste</translation>
    </message>
    <message>
        <source>Unknown Artist</source>
        <translation>Unbekannter Interpret</translation>
    </message>
    <message>
        <source>Unknown Album</source>
        <translation>Unbekanntes Album</translation>
    </message>
    <message>
        <source>the library is not open</source>
        <translation>die Bibliothek ist nicht geöffnet</translation>
    </message>
    <message>
        <source>the library is in use by another program</source>
        <translation>die Bibliothek wird von einem anderen Programm verwendet</translation>
    </message>
</context>
<context>
    <name>WhatsNew</name>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
</context>
<context>
    <name>guidialogExpire</name>
    <message>
        <source>Sorry, Tavrel Sonacap cant get music info automatically while recording now.</source>
        <translation>Tavrel Sonacap kann während der Aufnahme leider keine Titelinformationen automatisch abrufen.</translation>
    </message>
    <message>
        <source>Please go Media, right click the file, click Edit Music Tags to add music tags.</source>
        <translation>Öffnen Sie „Medien“, klicken Sie mit der rechten Maustaste auf die Datei und wählen Sie „Musik-Tags bearbeiten“.</translation>
    </message>
    <message>
        <source>Do not show this again</source>
        <translation>Nicht mehr anzeigen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>guidialogMicrophone</name>
    <message>
        <source>System prevents program from accessing microphone, please turn on Allow 
apps to access your microphone:</source>
        <translation>Das System verweigert dem Programm den Zugriff auf das Mikrofon. Bitte aktivieren Sie
„Apps den Zugriff auf das Mikrofon erlauben“:</translation>
    </message>
    <message>
        <source>In Win 10, go to Start  &gt; Settings  &gt; Privacy  &gt; Microphone.</source>
        <translation>Windows 10: Start &gt; Einstellungen &gt; Datenschutz &gt; Mikrofon.</translation>
    </message>
    <message>
        <source>In Win 11, go to Start  &gt; Settings  &gt; Privacy &amp; security &gt; Microphone.</source>
        <translation>Windows 11: Start &gt; Einstellungen &gt; Datenschutz und Sicherheit &gt; Mikrofon.</translation>
    </message>
    <message>
        <source>After enabling the authorization, please retry.</source>
        <translation>Versuchen Sie es nach dem Erlauben erneut.</translation>
    </message>
    <message>
        <source>If the problem still persists, please</source>
        <translation>Wenn das Problem weiterhin besteht, bitte</translation>
    </message>
    <message>
        <source>Open Privacy under system Settings</source>
        <translation>Datenschutzeinstellungen öffnen</translation>
    </message>
    <message>
        <source>More information</source>
        <translation>Weitere Informationen</translation>
    </message>
    <message>
        <source>contact us.</source>
        <translation>kontaktieren Sie uns.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
</TS>
