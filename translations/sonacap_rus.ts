<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru">
<context>
    <name>CFilterEdit</name>
    <message>
        <source>Filter</source>
        <translation>Фильтр</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Очистить</translation>
    </message>
</context>
<context>
    <name>CLabelPress</name>
    <message>
        <source>Translate for us</source>
        <translation>Помогите с переводом</translation>
    </message>
</context>
<context>
    <name>CReadyWidget</name>
    <message>
        <source>Refresh Your Enjoyment!</source>
        <translation>Откройте музыку заново!</translation>
    </message>
    <message>
        <source>1,Choose the audio source by clicking</source>
        <translation>1. Выберите источник звука, нажав</translation>
    </message>
    <message>
        <source>2,Start recording by clicking</source>
        <translation>2. Начните запись, нажав</translation>
    </message>
</context>
<context>
    <name>CSkinWidget</name>
    <message>
        <source>Choose your favourite background:</source>
        <translation>Выберите понравившийся фон:</translation>
    </message>
</context>
<context>
    <name>CStatusBar</name>
    <message>
        <source>Audio Source</source>
        <translation>Источник звука</translation>
    </message>
    <message>
        <source>Recording task scheduler</source>
        <translation>Планировщик записи</translation>
    </message>
    <message>
        <source>Add PlayList</source>
        <translation>Добавить плейлист</translation>
    </message>
    <message>
        <source>Add to iTunes</source>
        <translation>Добавить в iTunes</translation>
    </message>
    <message>
        <source>Recording</source>
        <translation>Запись</translation>
    </message>
    <message>
        <source>Media</source>
        <translation>Медиа</translation>
    </message>
</context>
</TS>
