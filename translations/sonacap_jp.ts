<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja">
<context>
    <name>CFilterEdit</name>
    <message>
        <source>Filter</source>
        <translation>フィルター</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>クリア</translation>
    </message>
</context>
<context>
    <name>CLabelPress</name>
    <message>
        <source>Translate for us</source>
        <translation>翻訳にご協力ください</translation>
    </message>
</context>
<context>
    <name>CReadyWidget</name>
    <message>
        <source>Refresh Your Enjoyment!</source>
        <translation>音楽をもっと楽しもう！</translation>
    </message>
    <message>
        <source>1,Choose the audio source by clicking</source>
        <translation>1. クリックしてオーディオソースを選択</translation>
    </message>
    <message>
        <source>2,Start recording by clicking</source>
        <translation>2. クリックして録音を開始</translation>
    </message>
</context>
<context>
    <name>CSkinWidget</name>
    <message>
        <source>Choose your favourite background:</source>
        <translation>お好みの背景を選んでください：</translation>
    </message>
</context>
<context>
    <name>CStatusBar</name>
    <message>
        <source>Audio Source</source>
        <translation>オーディオソース</translation>
    </message>
    <message>
        <source>Recording task scheduler</source>
        <translation>録音スケジューラー</translation>
    </message>
    <message>
        <source>Add PlayList</source>
        <translation>プレイリストを追加</translation>
    </message>
    <message>
        <source>Add to iTunes</source>
        <translation>iTunes に追加</translation>
    </message>
    <message>
        <source>Recording</source>
        <translation>録音</translation>
    </message>
    <message>
        <source>Media</source>
        <translation>メディア</translation>
    </message>
</context>
</TS>
