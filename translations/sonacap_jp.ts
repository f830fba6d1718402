<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja">
<context>
    <name>CAbout</name>
    <message>
        <source>&lt;p&gt;Records what your computer plays, song by song.&lt;/p&gt;</source>
        <translation>&lt;p&gt;パソコンで再生中の音楽を曲ごとに録音します。&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Version:</source>
        <translation>バージョン:</translation>
    </message>
    <message>
        <source>Support:</source>
        <translation>サポート:</translation>
    </message>
    <message>
        <source>Home Page:</source>
        <translation>ホームページ:</translation>
    </message>
</context>
<context>
    <name>CAddToiTunesDialog</name>
    <message>
        <source>
Add Music To iTunes 
</source>
        <translation>
iTunes に音楽を追加 
</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>中止</translation>
    </message>
    <message>
        <source>Add To iTunes</source>
        <translation>iTunes に追加</translation>
    </message>
    <message>
        <source>Adding...

Current File:%1</source>
        <translation>追加しています...

現在のファイル: %1</translation>
    </message>
    <message>
        <source>
Do not find iTunes
Please try after install iTunes
</source>
        <translation>
iTunes が見つかりません。
iTunes をインストールしてからもう一度お試しください。
</translation>
    </message>
</context>
<context>
    <name>CBugReport</name>
    <message>
        <source>Mail Adress</source>
        <translation>メールアドレス</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>お名前</translation>
    </message>
    <message>
        <source>Please describe your problem here.</source>
        <translation>ここに問題の内容をご記入ください。</translation>
    </message>
    <message>
        <source>Bug Report</source>
        <translation>バグレポート</translation>
    </message>
    <message>
        <source>Your Name:</source>
        <translation>お名前:</translation>
    </message>
    <message>
        <source>E-mail:</source>
        <translation>メール:</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>送信</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Please report your bug with filling your email.
(Will not be published).</source>
        <translation>バグを報告するにはメールアドレスを入力してください。
(公開されることはありません)</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>E-mail address is incorrect, 
please refill in a correct email.</source>
        <translation>メールアドレスが正しくありません。
正しいアドレスを入力し直してください。</translation>
    </message>
    <message>
        <source>Send bug report mail success!</source>
        <translation>バグレポートを送信しました。</translation>
    </message>
    <message>
        <source>Send bug report mail failed!</source>
        <translation>バグレポートを送信できませんでした。</translation>
    </message>
    <message>
        <source>The bug report mail was sent without the attached data: they could not be packed.</source>
        <translation>バグレポートは添付データなしで送信されました。データを圧縮できませんでした。</translation>
    </message>
    <message>
        <source>Send bug report mail failed, Err: %1</source>
        <translation>バグレポートを送信できませんでした。エラー: %1</translation>
    </message>
</context>
<context>
    <name>CDeleteDialog</name>
    <message>
        <source>Do not show this again</source>
        <translation>今後表示しない</translation>
    </message>
    <message>
        <source>Your computer will be shutdown in %1 seconds</source>
        <translation>%1 秒後にパソコンをシャットダウンします。</translation>
    </message>
</context>
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
    <name>CGUITavrelRegister</name>
    <message>
        <source>You are using the newest version</source>
        <translation>最新バージョンをご利用中です。</translation>
    </message>
    <message>
        <source>A new version of %1 found! 
Current version: %2
New version: %3

Would you like to update the product?</source>
        <translation>%1 の新しいバージョンがあります。
現在のバージョン: %2
新しいバージョン: %3

今すぐアップデートしますか?</translation>
    </message>
    <message>
        <source>Could not check for updates</source>
        <translation>更新を確認できませんでした。</translation>
    </message>
</context>
<context>
    <name>CGraphicsView</name>
    <message>
        <source>Unkown Artist</source>
        <translation>不明なアーティスト</translation>
    </message>
</context>
<context>
    <name>CInstallExtrasDialog</name>
    <message>
        <source>Tavrel Audio Device is not currently installed.
</source>
        <translation>Tavrel Audio Device はインストールされていません。
</translation>
    </message>
    <message>
        <source>Tavrel Audio Device enables you to record audio from any source 
instantly,with no need to quit and relaunch open applications.
</source>
        <translation>Tavrel Audio Device を使うと、開いているアプリを終了・再起動せずに
あらゆるソースの音声をすぐに録音できます。
</translation>
    </message>
    <message>
        <source>Now,install Tavrel Audio Device for the easiest audio recording.</source>
        <translation>今すぐ Tavrel Audio Device をインストールして、簡単に録音しましょう。</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Install</source>
        <translation>インストール</translation>
    </message>
    <message>
        <source>Install Tavrel Audio Device</source>
        <translation>Tavrel Audio Device のインストール</translation>
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
    <name>CMainUI</name>
    <message>
        <source>Settings</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>Online Help</source>
        <translation>オンラインヘルプ</translation>
    </message>
    <message>
        <source>Home Page</source>
        <translation>ホームページ</translation>
    </message>
    <message>
        <source>Support</source>
        <translation>サポート</translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <translation>アップデートを確認</translation>
    </message>
    <message>
        <source>Bug Report</source>
        <translation>バグレポート</translation>
    </message>
    <message>
        <source>About</source>
        <translation>バージョン情報</translation>
    </message>
    <message>
        <source>Translate Sonacap for us</source>
        <translation>Sonacap の翻訳に協力する</translation>
    </message>
    <message>
        <source>Are you sure to quit the programme?
Unfinished recording will be lost if you quit now!</source>
        <translation>プログラムを終了してもよろしいですか？
今終了すると、録音中の曲は失われます。</translation>
    </message>
    <message>
        <source>No</source>
        <translation>いいえ</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>終了</translation>
    </message>
    <message>
        <source>Are you sure to quit the programme?
It is sending bug report mail!</source>
        <translation>プログラムを終了してもよろしいですか？
バグレポートを送信中です。</translation>
    </message>
    <message>
        <source>Song playing unavailable, 
original file could not be found.</source>
        <translation>曲を再生できません。
元のファイルが見つかりませんでした。</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>The programme is recording now.
Do you want to stop it and start to play music?</source>
        <translation>現在録音中です。
録音を停止して音楽を再生しますか？</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>はい</translation>
    </message>
    <message>
        <source>Please shut down Nahimic and restart computer to start recording normally!</source>
        <translation>正常に録音するには、Nahimic を終了してパソコンを再起動してください。</translation>
    </message>
    <message>
        <source>Recording could not start.</source>
        <translation>録音を開始できませんでした。</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Recording task scheduler</source>
        <translation>録音スケジューラー</translation>
    </message>
    <message>
        <source>Please change the audio channel output settings to stereo,or you&apos;ll need to wait for a while when you stop recording.</source>
        <translation>オーディオ出力をステレオに設定してください。そのままでは、録音を停止するときにしばらく待つ必要があります。</translation>
    </message>
    <message>
        <source>   A recording task is running
Tomorrow </source>
        <translation>   予約録音が有効です
明日 </translation>
    </message>
    <message>
        <source>A recording task is running
     </source>
        <translation>予約録音が有効です
     </translation>
    </message>
    <message>
        <source>Shutdown</source>
        <translation>シャットダウン</translation>
    </message>
    <message>
        <source>Your computer will be shutdown in 60 seconds</source>
        <translation>60 秒後にパソコンをシャットダウンします。</translation>
    </message>
    <message>
        <source>the file was cut short</source>
        <translation>ファイルが途中で切れていました</translation>
    </message>
    <message>
        <source>the file was no library</source>
        <translation>ファイルはライブラリではありませんでした</translation>
    </message>
    <message>
        <source>a folder had taken its place</source>
        <translation>同じ名前のフォルダーがありました</translation>
    </message>
    <message>
        <source>the file was empty</source>
        <translation>ファイルが空でした</translation>
    </message>
    <message>
        <source>the file could not be read</source>
        <translation>ファイルを読み取れませんでした</translation>
    </message>
    <message>
        <source>some of its pages were damaged</source>
        <translation>一部のページが破損していました</translation>
    </message>
    <message>
        <source>The library could not be used as it was: %1.
A new library was made of everything that could still be read: %2 songs kept with their data, %3 songs back from their files only (with what their tags tell). New recordings go into it.</source>
        <translation>ライブラリをそのまま使用できませんでした: %1。
まだ読み取れたすべての内容から新しいライブラリを作成しました: データ付きで保持された曲 %2 曲、ファイルからのみ戻った曲 %3 曲 (タグの情報のみ)。新しい録音はこのライブラリに保存されます。</translation>
    </message>
    <message>
        <source>The library is damaged: %1.
There was no room to rebuild it, so it is used as it is: songs on damaged pages are not shown, and nothing of it is deleted.</source>
        <translation>ライブラリが破損しています: %1。
再構築する空き容量がないため、そのまま使用します: 破損したページの曲は表示されませんが、何も削除されません。</translation>
    </message>
    <message>
        <source>No copy of it could be made.</source>
        <translation>そのコピーを作成できませんでした。</translation>
    </message>
    <message>
        <source>A copy of it as it was is kept as:
%1</source>
        <translation>元の状態のコピーを次の場所に保存しました:
%1</translation>
    </message>
    <message>
        <source>Finishing the last recording...</source>
        <translation>最後の録音を仕上げています...</translation>
    </message>
    <message>
        <source>Finishing the last recording before closing...</source>
        <translation>終了する前に最後の録音を仕上げています...</translation>
    </message>
    <message>
        <source>Close now</source>
        <translation>今すぐ閉じる</translation>
    </message>
    <message>
        <source>This song cannot be played: its file exists but holds no sound the player can read.
%1</source>
        <translation>この曲は再生できません: ファイルはありますが、再生できる音声が含まれていません。
%1</translation>
    </message>
    <message>
        <source>There is not enough free space on the disk of the output folder:
%1</source>
        <translation>出力フォルダーのディスクに十分な空き容量がありません:
%1</translation>
    </message>
    <message>
        <source>The sound server cannot be reached, so there is nothing to record from.</source>
        <translation>サウンドサーバーに接続できないため、録音するものがありません。</translation>
    </message>
    <message>
        <source>The recording device &quot;%1&quot; cannot be found.</source>
        <translation>録音デバイス「%1」が見つかりません。</translation>
    </message>
    <message>
        <source>There is no output device whose sound could be recorded.</source>
        <translation>録音できる出力デバイスがありません。</translation>
    </message>
    <message>
        <source>The recording device does not offer the chosen sample rate.</source>
        <translation>録音デバイスは選択されたサンプリングレートに対応していません。</translation>
    </message>
    <message>
        <source>Songs cannot be written in the chosen format.</source>
        <translation>選択された形式で曲を書き込めません。</translation>
    </message>
    <message>
        <source>The recording engine reported error %1.</source>
        <translation>録音エンジンがエラー %1 を報告しました。</translation>
    </message>
    <message>
        <source>The sound server does not answer. Restart the sound system or the computer, then try again.</source>
        <translation>サウンドサーバーが応答しません。サウンドシステムまたはコンピューターを再起動してから、もう一度お試しください。</translation>
    </message>
    <message>
        <source>Recording has stopped: the disk of the output folder is nearly full (%1 MB free):
%2
Songs recorded until now are kept.</source>
        <translation>録音を停止しました: 出力フォルダーのディスクがほぼいっぱいです (空き %1 MB):
%2
これまでに録音した曲は保存されています。</translation>
    </message>
    <message>
        <source>Recording has stopped: the disk of the output folder is full:
%1</source>
        <translation>録音を停止しました: 出力フォルダーのディスクがいっぱいです:
%1</translation>
    </message>
    <message>
        <source>Recording has stopped: the output folder cannot be written (removed, read-only or not permitted):
%1</source>
        <translation>録音を停止しました: 出力フォルダーに書き込めません (削除された、読み取り専用、または権限がありません):
%1</translation>
    </message>
    <message>
        <source>Recording has stopped: writing into the output folder failed (%1):
%2</source>
        <translation>録音を停止しました: 出力フォルダーへの書き込みに失敗しました (%1):
%2</translation>
    </message>
    <message>
        <source>No part of the last song could be kept.</source>
        <translation>最後の曲は一部も保存できませんでした。</translation>
    </message>
    <message>
        <source>The song recorded until then is kept:
%1</source>
        <translation>それまでに録音した曲は保存されています:
%1</translation>
    </message>
    <message>
        <source>Waiting for the sound server</source>
        <translation>サウンドサーバーを待っています</translation>
    </message>
    <message>
        <source>The sound server stopped delivering sound: it was closed or does not answer.
The song recorded until then is kept. Recording goes on by itself as soon as the sound server is back.</source>
        <translation>サウンドサーバーから音声が届かなくなりました: 終了したか、応答していません。
それまでに録音した曲は保存されています。サウンドサーバーが戻ると、録音は自動的に再開されます。</translation>
    </message>
    <message>
        <source>New recordings cannot be stored in the library: %1
They are kept in the output folder:
%2</source>
        <translation>新しい録音をライブラリに保存できません: %1
録音は出力フォルダーに保存されています:
%2</translation>
    </message>
    <message>
        <source>The library is full: it holds at most 100,000 songs.
New recordings are kept in the output folder:
%1</source>
        <translation>ライブラリがいっぱいです: 保存できるのは最大 100,000 曲です。
新しい録音は出力フォルダーに保存されます:
%1</translation>
    </message>
    <message>
        <source>The library is in use by another program:
%1
It is left as it is and cannot be changed until that program lets it go; the songs you record until then are kept in the output folder and go into the library once it is free. If that program changed the library meanwhile, the library stays as it is and the songs go into it at the next start.</source>
        <translation>ライブラリは別のプログラムによって使用中です:
%1
ライブラリはそのまま残され、そのプログラムが解放するまで変更できません。それまでに録音した曲は出力フォルダーに保存され、ライブラリが解放されるとライブラリに追加されます。そのプログラムがその間にライブラリを変更した場合は、ライブラリはそのまま残され、曲は次回の起動時に追加されます。</translation>
    </message>
    <message>
        <source>The library is in use by another program and cannot be changed now.</source>
        <translation>ライブラリは別のプログラムによって使用中のため、現在は変更できません。</translation>
    </message>
</context>
<context>
    <name>CMiniListItem</name>
    <message>
        <source>Title</source>
        <translation>タイトル</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>アーティスト</translation>
    </message>
</context>
<context>
    <name>CMusicInfoTreeWidget</name>
    <message>
        <source>Name</source>
        <translation>名前</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>時間</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>アーティスト</translation>
    </message>
    <message>
        <source>Album</source>
        <translation>アルバム</translation>
    </message>
    <message>
        <source>Genre</source>
        <translation>ジャンル</translation>
    </message>
    <message>
        <source>Date Added</source>
        <translation>追加日</translation>
    </message>
</context>
<context>
    <name>CMusicTagsEditDialog</name>
    <message>
        <source>Add</source>
        <translation>追加</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>削除</translation>
    </message>
    <message>
        <source>Title:</source>
        <translation>タイトル:</translation>
    </message>
    <message>
        <source>Artist:</source>
        <translation>アーティスト:</translation>
    </message>
    <message>
        <source>Album:</source>
        <translation>アルバム:</translation>
    </message>
    <message>
        <source>Year:</source>
        <translation>年:</translation>
    </message>
    <message>
        <source>Genre:</source>
        <translation>ジャンル:</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>その他</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Music Tags Edit</source>
        <translation>音楽タグの編集</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>ファイルを開く</translation>
    </message>
    <message>
        <source>Images</source>
        <translation>画像</translation>
    </message>
    <message>
        <source>The picture &quot;%1&quot; could not be copied into &quot;%2&quot;.
Nothing was changed.</source>
        <translation>画像「%1」を「%2」にコピーできませんでした。
何も変更されていません。</translation>
    </message>
    <message>
        <source>The song file &quot;%1&quot; could not be renamed after the title.
Nothing was changed.</source>
        <translation>曲のファイル「%1」の名前をタイトルに変更できませんでした。
何も変更されていません。</translation>
    </message>
    <message>
        <source>The library could not store the covers.
Nothing was changed.</source>
        <translation>ライブラリにカバーを保存できませんでした。
何も変更されていません。</translation>
    </message>
</context>
<context>
    <name>CNetWidget</name>
    <message>
        <source>Enable Proxy</source>
        <translation>プロキシを使用する</translation>
    </message>
    <message>
        <source>Proxy type:</source>
        <translation>プロキシの種類:</translation>
    </message>
    <message>
        <source>Proxy host:</source>
        <translation>プロキシホスト:</translation>
    </message>
    <message>
        <source>Proxy port:</source>
        <translation>プロキシポート:</translation>
    </message>
    <message>
        <source>Proxy name:</source>
        <translation>ユーザー名:</translation>
    </message>
    <message>
        <source>Proxy password:</source>
        <translation>パスワード:</translation>
    </message>
</context>
<context>
    <name>CPasswordDialog</name>
    <message>
        <source>Trying to install kext. Please enter admin account and password.</source>
        <translation>ドライバーをインストールします。管理者アカウントとパスワードを入力してください。</translation>
    </message>
    <message>
        <source>Admin account</source>
        <translation>管理者アカウント</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>パスワード</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Install</source>
        <translation>インストール</translation>
    </message>
</context>
<context>
    <name>CPreferencesDialog</name>
    <message>
        <source>0.2</source>
        <translation>0.2</translation>
    </message>
    <message>
        <source>0.4</source>
        <translation>0.4</translation>
    </message>
    <message>
        <source>0.6</source>
        <translation>0.6</translation>
    </message>
    <message>
        <source>0.8</source>
        <translation>0.8</translation>
    </message>
    <message>
        <source>1.0</source>
        <translation>1.0</translation>
    </message>
    <message>
        <source>1.5</source>
        <translation>1.5</translation>
    </message>
    <message>
        <source>2.0</source>
        <translation>2.0</translation>
    </message>
    <message>
        <source>3.0</source>
        <translation>3.0</translation>
    </message>
    <message>
        <source>4.0</source>
        <translation>4.0</translation>
    </message>
    <message>
        <source>5.0</source>
        <translation>5.0</translation>
    </message>
    <message>
        <source>10.0</source>
        <translation>10.0</translation>
    </message>
    <message>
        <source>General</source>
        <translation>一般</translation>
    </message>
    <message>
        <source>Audio Source</source>
        <translation>オーディオソース</translation>
    </message>
    <message>
        <source>Scheduler</source>
        <translation>スケジュール</translation>
    </message>
    <message>
        <source>Control</source>
        <translation>コントロール</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>フォーマット</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>接続</translation>
    </message>
    <message>
        <source>Skin</source>
        <translation>スキン</translation>
    </message>
    <message>
        <source>English</source>
        <translation>英語</translation>
    </message>
    <message>
        <source>Japanese</source>
        <translation>日本語</translation>
    </message>
    <message>
        <source>German</source>
        <translation>ドイツ語</translation>
    </message>
    <message>
        <source>Russian</source>
        <translation>ロシア語</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Output:</source>
        <translation>出力先:</translation>
    </message>
    <message>
        <source>Language:</source>
        <translation>言語:</translation>
    </message>
    <message>
        <source>Choose your language:</source>
        <translation>言語を選択:</translation>
    </message>
    <message>
        <source>Translate for us</source>
        <translation>翻訳にご協力ください</translation>
    </message>
    <message>
        <source>Automatically split when the silence is more than</source>
        <translation>無音がこの長さを超えたら自動的に分割:</translation>
    </message>
    <message>
        <source>Automatically filter,only save tracks longer than</source>
        <translation>自動フィルター: この長さより長い曲だけを保存:</translation>
    </message>
    <message>
        <source>seconds</source>
        <translation>秒</translation>
    </message>
    <message>
        <source>Output Format:</source>
        <translation>出力フォーマット:</translation>
    </message>
    <message>
        <source>mp3 Audio(*.mp3)</source>
        <translation>MP3 オーディオ (*.mp3)</translation>
    </message>
    <message>
        <source>wav Audio(*.wav)</source>
        <translation>WAV オーディオ (*.wav)</translation>
    </message>
    <message>
        <source>Audio Setting:</source>
        <translation>オーディオ設定:</translation>
    </message>
    <message>
        <source>Audio Codec:</source>
        <translation>オーディオコーデック:</translation>
    </message>
    <message>
        <source>Bit Rate(Kbps):</source>
        <translation>ビットレート (kbps):</translation>
    </message>
    <message>
        <source>Sample Rate(HZ):</source>
        <translation>サンプルレート (Hz):</translation>
    </message>
    <message>
        <source>Choose another folder.</source>
        <translation>別のフォルダーを選択してください。</translation>
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
    <name>CSetSourceDialog</name>
    <message>
        <source>Record Audio Input </source>
        <translation>オーディオ入力を録音 </translation>
    </message>
    <message>
        <source>Record Mic or other built-in input audio stream</source>
        <translation>マイクやその他の内蔵入力の音声を録音します</translation>
    </message>
    <message>
        <source>Record Computer Audio</source>
        <translation>パソコンの音声を録音</translation>
    </message>
    <message>
        <source>Record computer audio stream or online music</source>
        <translation>パソコンで再生中の音声やオンライン音楽を録音します</translation>
    </message>
</context>
<context>
    <name>CSetTaskDialog</name>
    <message>
        <source>shut down after recording finished</source>
        <translation>録音終了後にパソコンをシャットダウンする</translation>
    </message>
    <message>
        <source>Start time:</source>
        <translation>開始時刻:</translation>
    </message>
    <message>
        <source>Recording Duration:</source>
        <translation>録音時間:</translation>
    </message>
    <message>
        <source>Task Scheduler:</source>
        <translation>予約録音:</translation>
    </message>
</context>
<context>
    <name>CShowCoverWidget</name>
    <message>
        <source>Play</source>
        <translation>再生</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>編集</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>削除</translation>
    </message>
    <message>
        <source>Show in Folder</source>
        <translation>フォルダーに表示</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>タイトル</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>アーティスト</translation>
    </message>
</context>
<context>
    <name>CShowListWidget</name>
    <message>
        <source>Filter</source>
        <translation>フィルター</translation>
    </message>
    <message>
        <source>All</source>
        <translation>すべて</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>名前</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>アーティスト</translation>
    </message>
    <message>
        <source>Album</source>
        <translation>アルバム</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>再生</translation>
    </message>
    <message>
        <source>Edit Music Tags</source>
        <translation>タグを編集</translation>
    </message>
    <message>
        <source>Add to playlist</source>
        <translation>プレイリストに追加</translation>
    </message>
    <message>
        <source>Add to iTunes</source>
        <translation>iTunes に追加</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>すべて選択</translation>
    </message>
    <message>
        <source>Unselect All</source>
        <translation>選択を解除</translation>
    </message>
    <message>
        <source>Show in Folder</source>
        <translation>フォルダーに表示</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>削除</translation>
    </message>
    <message>
        <source>Date Played</source>
        <translation>再生日</translation>
    </message>
    <message>
        <source>Date Added</source>
        <translation>追加日</translation>
    </message>
    <message>
        <source>Unknown Artist</source>
        <translation>不明なアーティスト</translation>
    </message>
    <message>
        <source>Unknown Album</source>
        <translation>不明なアルバム</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Are you sure you want to delete the 
selected file from Library?
Its original file will also be deleted.
 </source>
        <translation>選択したファイルをライブラリから
削除してもよろしいですか？
元のファイルも削除されます。
 </translation>
    </message>
    <message>
        <source>Are you sure to delete the selected file?
</source>
        <translation>選択したファイルを削除してもよろしいですか？
</translation>
    </message>
    <message>
        <source>Track</source>
        <translation>トラック</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>The library could not store the new song data.</source>
        <translation>ライブラリに新しい曲の情報を保存できませんでした。</translation>
    </message>
    <message>
        <source>Writing the song data into the file...</source>
        <translation>曲の情報をファイルに書き込んでいます...</translation>
    </message>
    <message>
        <source>The song data could not be written into the file:
%1
The file was left as it was.</source>
        <translation>曲の情報をファイルに書き込めませんでした:
%1
ファイルは変更されていません。</translation>
    </message>
    <message>
        <source>Are you sure you want to delete the play list &quot;%1&quot;?
Its songs stay in the library.</source>
        <translation>再生リスト「%1」を削除してもよろしいですか?
曲はライブラリに残ります。</translation>
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
<context>
    <name>CToolBar</name>
    <message>
        <source>Playing</source>
        <translation>再生中</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>開始</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>再生</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>準備完了</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>録音</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>ライブラリ</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>設定</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>終了</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>一時停止</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>一時停止中</translation>
    </message>
    <message>
        <source>Unknown Artist</source>
        <translation>不明なアーティスト</translation>
    </message>
    <message>
        <source>Recording</source>
        <translation>録音中</translation>
    </message>
</context>
<context>
    <name>CTreeLib</name>
    <message>
        <source>Library</source>
        <translation>ライブラリ</translation>
    </message>
    <message>
        <source>PlayList</source>
        <translation>プレイリスト</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>再生</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>名前を変更</translation>
    </message>
    <message>
        <source>Add to iTunes Library</source>
        <translation>iTunes ライブラリに追加</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>削除</translation>
    </message>
    <message>
        <source>Create Library Failed!</source>
        <translation>ライブラリを作成できませんでした</translation>
    </message>
    <message>
        <source>Get Library info failed!</source>
        <translation>ライブラリの情報を取得できませんでした。</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>The number of playlists has reached the maximum.
Note: the maximum playlists are 999.
</source>
        <translation>プレイリストの数が上限に達しました。
注意：プレイリストは999個まで作成できます。
</translation>
    </message>
    <message>
        <source>Create List Failed!</source>
        <translation>プレイリストを作成できませんでした</translation>
    </message>
    <message>
        <source>All Recordings</source>
        <translation>すべての録音</translation>
    </message>
    <message>
        <source>New Recordings</source>
        <translation>新しい録音</translation>
    </message>
    <message>
        <source>Recently Played</source>
        <translation>最近再生した曲</translation>
    </message>
</context>
<context>
    <name>DesktopLinks</name>
    <message>
        <source>No file manager could open this folder. Open it yourself:
%1</source>
        <translation>このフォルダーを開けるファイルマネージャーがありません。次のフォルダーをご自身で開いてください:
%1</translation>
    </message>
    <message>
        <source>No web browser could open this page. Open it yourself:
%1</source>
        <translation>このページを開けるウェブブラウザーがありません。次のアドレスをご自身で開いてください:
%1</translation>
    </message>
</context>
<context>
    <name>DiskNoEnoughDialog</name>
    <message>
        <source>The current path is invalid!</source>
        <translation>現在のパスは無効です。</translation>
    </message>
</context>
<context>
    <name>OutputFolderCheck</name>
    <message>
        <source>No output folder is chosen. Choose one in Settings.</source>
        <translation>出力フォルダーが選択されていません。設定で選択してください。</translation>
    </message>
    <message>
        <source>The output folder is a file, not a folder:
%1</source>
        <translation>出力フォルダーはフォルダーではなくファイルです:
%1</translation>
    </message>
    <message>
        <source>The output folder belongs to the system and cannot hold recordings:
%1</source>
        <translation>出力フォルダーはシステムのフォルダーのため、録音を保存できません:
%1</translation>
    </message>
    <message>
        <source>The output folder does not exist and cannot be created:
%1</source>
        <translation>出力フォルダーが存在せず、作成することもできません:
%1</translation>
    </message>
    <message>
        <source>The output folder cannot be written:
%1</source>
        <translation>出力フォルダーに書き込めません:
%1</translation>
    </message>
</context>
<context>
    <name>ProductUpdateInfo</name>
    <message>
        <source>Check for updates...</source>
        <translation>アップデートを確認しています...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>はい</translation>
    </message>
    <message>
        <source>No</source>
        <translation>いいえ</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>All Recordings</source>
        <translation>すべての録音</translation>
    </message>
    <message>
        <source>New Recordings</source>
        <translation>新しい録音</translation>
    </message>
    <message>
        <source>Recently Played</source>
        <translation>最近再生した曲</translation>
    </message>
    <message>
        <source>PlayList 1</source>
        <translation>プレイリスト 1</translation>
    </message>
    <message>
        <source>PlayList</source>
        <translation>プレイリスト</translation>
    </message>
    <message>
        <source>Unknown Artist</source>
        <translation>不明なアーティスト</translation>
    </message>
    <message>
        <source>Unknown Album</source>
        <translation>不明なアルバム</translation>
    </message>
    <message>
        <source>the library is not open</source>
        <translation>ライブラリが開いていません</translation>
    </message>
    <message>
        <source>the library is in use by another program</source>
        <translation>ライブラリは別のプログラムによって使用中です</translation>
    </message>
</context>
<context>
    <name>WhatsNew</name>
    <message>
        <source>Yes</source>
        <translation>はい</translation>
    </message>
    <message>
        <source>No</source>
        <translation>いいえ</translation>
    </message>
</context>
<context>
    <name>guidialogExpire</name>
    <message>
        <source>Sorry, Tavrel Sonacap cant get music info automatically while recording now.</source>
        <translation>申し訳ありませんが、Tavrel Sonacap は録音中に曲情報を自動取得できません。</translation>
    </message>
    <message>
        <source>Please go Media, right click the file, click Edit Music Tags to add music tags.</source>
        <translation>「メディア」でファイルを右クリックし、「タグを編集」から曲情報を追加してください。</translation>
    </message>
    <message>
        <source>Do not show this again</source>
        <translation>今後表示しない</translation>
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
        <translation>システムがこのプログラムのマイクへのアクセスをブロックしています。
「アプリがマイクにアクセスできるようにする」をオンにしてください:</translation>
    </message>
    <message>
        <source>In Win 10, go to Start  &gt; Settings  &gt; Privacy  &gt; Microphone.</source>
        <translation>Windows 10: スタート &gt; 設定 &gt; プライバシー &gt; マイク。</translation>
    </message>
    <message>
        <source>In Win 11, go to Start  &gt; Settings  &gt; Privacy &amp; security &gt; Microphone.</source>
        <translation>Windows 11: スタート &gt; 設定 &gt; プライバシーとセキュリティ &gt; マイク。</translation>
    </message>
    <message>
        <source>After enabling the authorization, please retry.</source>
        <translation>許可した後、もう一度お試しください。</translation>
    </message>
    <message>
        <source>If the problem still persists, please</source>
        <translation>問題が解決しない場合は、</translation>
    </message>
    <message>
        <source>Open Privacy under system Settings</source>
        <translation>システムのプライバシー設定を開く</translation>
    </message>
    <message>
        <source>More information</source>
        <translation>詳細情報</translation>
    </message>
    <message>
        <source>contact us.</source>
        <translation>お問い合わせください。</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
</TS>
