<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru">
<context>
    <name>CAbout</name>
    <message>
        <source>&lt;p&gt;Records what your computer plays, song by song.&lt;/p&gt;</source>
        <translation>&lt;p&gt;Записывает всё, что играет компьютер, — песню за песней.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Version:</source>
        <translation>Версия:</translation>
    </message>
    <message>
        <source>Support:</source>
        <translation>Поддержка:</translation>
    </message>
    <message>
        <source>Home Page:</source>
        <translation>Домашняя страница:</translation>
    </message>
</context>
<context>
    <name>CAddToiTunesDialog</name>
    <message>
        <source>
Add Music To iTunes 
</source>
        <translation>
Добавление музыки в iTunes 
</translation>
    </message>
    <message>
        <source>Abort</source>
        <translation>Прервать</translation>
    </message>
    <message>
        <source>Add To iTunes</source>
        <translation>Добавить в iTunes</translation>
    </message>
    <message>
        <source>Adding...

Current File:%1</source>
        <translation>Добавление...

Текущий файл: %1</translation>
    </message>
    <message>
        <source>
Do not find iTunes
Please try after install iTunes
</source>
        <translation>
iTunes не найден.
Установите iTunes и повторите попытку.
</translation>
    </message>
</context>
<context>
    <name>CBugReport</name>
    <message>
        <source>Mail Adress</source>
        <translation>Адрес эл. почты</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Имя</translation>
    </message>
    <message>
        <source>Please describe your problem here.</source>
        <translation>Опишите здесь вашу проблему.</translation>
    </message>
    <message>
        <source>Bug Report</source>
        <translation>Отчёт об ошибке</translation>
    </message>
    <message>
        <source>Your Name:</source>
        <translation>Ваше имя:</translation>
    </message>
    <message>
        <source>E-mail:</source>
        <translation>Эл. почта:</translation>
    </message>
    <message>
        <source>Report</source>
        <translation>Отправить</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Please report your bug with filling your email.
(Will not be published).</source>
        <translation>Чтобы отправить отчёт, укажите адрес эл. почты.
(Он не будет опубликован.)</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>E-mail address is incorrect, 
please refill in a correct email.</source>
        <translation>Неверный адрес эл. почты.
Введите правильный адрес.</translation>
    </message>
    <message>
        <source>Send bug report mail success!</source>
        <translation>Отчёт об ошибке отправлен.</translation>
    </message>
    <message>
        <source>Send bug report mail failed!</source>
        <translation>Не удалось отправить отчёт об ошибке.</translation>
    </message>
    <message>
        <source>The bug report mail was sent without the attached data: they could not be packed.</source>
        <translation>Отчёт об ошибке отправлен без приложенных данных: их не удалось упаковать.</translation>
    </message>
    <message>
        <source>Send bug report mail failed, Err: %1</source>
        <translation>Не удалось отправить отчёт об ошибке, код: %1</translation>
    </message>
</context>
<context>
    <name>CDeleteDialog</name>
    <message>
        <source>Do not show this again</source>
        <translation>Больше не показывать</translation>
    </message>
    <message>
        <source>Your computer will be shutdown in %1 seconds</source>
        <translation>Компьютер будет выключен через %1 сек.</translation>
    </message>
</context>
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
    <name>CGUITavrelRegister</name>
    <message>
        <source>You are using the newest version</source>
        <translation>У вас установлена последняя версия.</translation>
    </message>
    <message>
        <source>A new version of %1 found! 
Current version: %2
New version: %3

Would you like to update the product?</source>
        <translation>Доступна новая версия %1.
Текущая версия: %2
Новая версия: %3

Обновить программу?</translation>
    </message>
    <message>
        <source>Could not check for updates</source>
        <translation>Не удалось проверить наличие обновлений.</translation>
    </message>
</context>
<context>
    <name>CGraphicsView</name>
    <message>
        <source>Unkown Artist</source>
        <translation>Неизвестный исполнитель</translation>
    </message>
</context>
<context>
    <name>CInstallExtrasDialog</name>
    <message>
        <source>Tavrel Audio Device is not currently installed.
</source>
        <translation>Tavrel Audio Device сейчас не установлено.
</translation>
    </message>
    <message>
        <source>Tavrel Audio Device enables you to record audio from any source 
instantly,with no need to quit and relaunch open applications.
</source>
        <translation>Tavrel Audio Device позволяет сразу записывать звук из любого источника,
не закрывая и не перезапуская открытые программы.
</translation>
    </message>
    <message>
        <source>Now,install Tavrel Audio Device for the easiest audio recording.</source>
        <translation>Установите Tavrel Audio Device — это самый простой способ записи звука.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Install</source>
        <translation>Установить</translation>
    </message>
    <message>
        <source>Install Tavrel Audio Device</source>
        <translation>Установка Tavrel Audio Device</translation>
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
    <name>CMainUI</name>
    <message>
        <source>Settings</source>
        <translation>Настройки</translation>
    </message>
    <message>
        <source>Online Help</source>
        <translation>Онлайн-справка</translation>
    </message>
    <message>
        <source>Home Page</source>
        <translation>Домашняя страница</translation>
    </message>
    <message>
        <source>Support</source>
        <translation>Поддержка</translation>
    </message>
    <message>
        <source>Check for Updates</source>
        <translation>Проверить обновления</translation>
    </message>
    <message>
        <source>Bug Report</source>
        <translation>Отчёт об ошибке</translation>
    </message>
    <message>
        <source>About</source>
        <translation>О программе</translation>
    </message>
    <message>
        <source>Translate Sonacap for us</source>
        <translation>Помочь с переводом Sonacap</translation>
    </message>
    <message>
        <source>Are you sure to quit the programme?
Unfinished recording will be lost if you quit now!</source>
        <translation>Вы действительно хотите выйти из программы?
Незавершённая запись будет потеряна!</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Нет</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Выйти</translation>
    </message>
    <message>
        <source>Are you sure to quit the programme?
It is sending bug report mail!</source>
        <translation>Вы действительно хотите выйти из программы?
Отчёт об ошибке ещё отправляется!</translation>
    </message>
    <message>
        <source>Song playing unavailable, 
original file could not be found.</source>
        <translation>Не удаётся воспроизвести песню:
исходный файл не найден.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>The programme is recording now.
Do you want to stop it and start to play music?</source>
        <translation>Сейчас идёт запись.
Остановить её и начать воспроизведение?</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Да</translation>
    </message>
    <message>
        <source>Please shut down Nahimic and restart computer to start recording normally!</source>
        <translation>Чтобы запись работала нормально, закройте Nahimic и перезагрузите компьютер.</translation>
    </message>
    <message>
        <source>Recording could not start.</source>
        <translation>Не удалось начать запись.</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>Recording task scheduler</source>
        <translation>Планировщик записи</translation>
    </message>
    <message>
        <source>Please change the audio channel output settings to stereo,or you&apos;ll need to wait for a while when you stop recording.</source>
        <translation>Переключите вывод звука в режим стерео, иначе остановка записи займёт некоторое время.</translation>
    </message>
    <message>
        <source>   A recording task is running
Tomorrow </source>
        <translation>   Запись по расписанию включена
Завтра </translation>
    </message>
    <message>
        <source>A recording task is running
     </source>
        <translation>Запись по расписанию включена
     </translation>
    </message>
    <message>
        <source>Shutdown</source>
        <translation>Выключить</translation>
    </message>
    <message>
        <source>Your computer will be shutdown in 60 seconds</source>
        <translation>Компьютер будет выключен через 60 сек.</translation>
    </message>
    <message>
        <source>the file was cut short</source>
        <translation>файл был обрезан</translation>
    </message>
    <message>
        <source>the file was no library</source>
        <translation>файл не был библиотекой</translation>
    </message>
    <message>
        <source>a folder had taken its place</source>
        <translation>на её месте оказалась папка</translation>
    </message>
    <message>
        <source>the file was empty</source>
        <translation>файл был пуст</translation>
    </message>
    <message>
        <source>the file could not be read</source>
        <translation>файл не удалось прочитать</translation>
    </message>
    <message>
        <source>some of its pages were damaged</source>
        <translation>некоторые её страницы были повреждены</translation>
    </message>
    <message>
        <source>The library could not be used as it was: %1.
A new library was made of everything that could still be read: %2 songs kept with their data, %3 songs back from their files only (with what their tags tell). New recordings go into it.</source>
        <translation>Библиотеку не удалось использовать в прежнем виде: %1.
Из всего, что ещё удалось прочитать, создана новая библиотека: %2 песен сохранено с их данными, %3 песен восстановлено только из их файлов (с тем, что указано в их тегах). Новые записи сохраняются в неё.</translation>
    </message>
    <message>
        <source>The library is damaged: %1.
There was no room to rebuild it, so it is used as it is: songs on damaged pages are not shown, and nothing of it is deleted.</source>
        <translation>Библиотека повреждена: %1.
Для её восстановления нет места, поэтому она используется как есть: песни на повреждённых страницах не показаны, и ничего из неё не удаляется.</translation>
    </message>
    <message>
        <source>No copy of it could be made.</source>
        <translation>Не удалось создать её копию.</translation>
    </message>
    <message>
        <source>A copy of it as it was is kept as:
%1</source>
        <translation>Копия в исходном состоянии сохранена как:
%1</translation>
    </message>
    <message>
        <source>Finishing the last recording...</source>
        <translation>Завершение последней записи...</translation>
    </message>
    <message>
        <source>Finishing the last recording before closing...</source>
        <translation>Перед закрытием завершается последняя запись...</translation>
    </message>
    <message>
        <source>Close now</source>
        <translation>Закрыть сейчас</translation>
    </message>
    <message>
        <source>This song cannot be played: its file exists but holds no sound the player can read.
%1</source>
        <translation>Эту композицию невозможно воспроизвести: файл существует, но не содержит читаемого звука.
%1</translation>
    </message>
    <message>
        <source>There is not enough free space on the disk of the output folder:
%1</source>
        <translation>На диске выходной папки недостаточно свободного места:
%1</translation>
    </message>
    <message>
        <source>The sound server cannot be reached, so there is nothing to record from.</source>
        <translation>Звуковой сервер недоступен, поэтому записывать нечего.</translation>
    </message>
    <message>
        <source>The recording device &quot;%1&quot; cannot be found.</source>
        <translation>Устройство записи «%1» не найдено.</translation>
    </message>
    <message>
        <source>There is no output device whose sound could be recorded.</source>
        <translation>Нет устройства вывода, звук которого можно было бы записать.</translation>
    </message>
    <message>
        <source>The recording device does not offer the chosen sample rate.</source>
        <translation>Устройство записи не поддерживает выбранную частоту дискретизации.</translation>
    </message>
    <message>
        <source>Songs cannot be written in the chosen format.</source>
        <translation>Композиции невозможно записать в выбранном формате.</translation>
    </message>
    <message>
        <source>The recording engine reported error %1.</source>
        <translation>Модуль записи сообщил об ошибке %1.</translation>
    </message>
    <message>
        <source>The sound server does not answer. Restart the sound system or the computer, then try again.</source>
        <translation>Звуковой сервер не отвечает. Перезапустите звуковую систему или компьютер и повторите попытку.</translation>
    </message>
    <message>
        <source>Recording has stopped: the disk of the output folder is nearly full (%1 MB free):
%2
Songs recorded until now are kept.</source>
        <translation>Запись остановлена: диск выходной папки почти заполнен (свободно %1 МБ):
%2
Записанные до сих пор композиции сохранены.</translation>
    </message>
    <message>
        <source>Recording has stopped: the disk of the output folder is full:
%1</source>
        <translation>Запись остановлена: диск выходной папки заполнен:
%1</translation>
    </message>
    <message>
        <source>Recording has stopped: the output folder cannot be written (removed, read-only or not permitted):
%1</source>
        <translation>Запись остановлена: запись в выходную папку невозможна (папка удалена, доступна только для чтения или нет прав):
%1</translation>
    </message>
    <message>
        <source>Recording has stopped: writing into the output folder failed (%1):
%2</source>
        <translation>Запись остановлена: ошибка записи в выходную папку (%1):
%2</translation>
    </message>
    <message>
        <source>No part of the last song could be kept.</source>
        <translation>Последнюю композицию сохранить не удалось.</translation>
    </message>
    <message>
        <source>The song recorded until then is kept:
%1</source>
        <translation>Записанная до этого момента композиция сохранена:
%1</translation>
    </message>
    <message>
        <source>Waiting for the sound server</source>
        <translation>Ожидание звукового сервера</translation>
    </message>
    <message>
        <source>The sound server stopped delivering sound: it was closed or does not answer.
The song recorded until then is kept. Recording goes on by itself as soon as the sound server is back.</source>
        <translation>Звуковой сервер перестал передавать звук: он был закрыт или не отвечает.
Записанная до этого момента композиция сохранена. Запись продолжится сама, как только звуковой сервер снова станет доступен.</translation>
    </message>
    <message>
        <source>New recordings cannot be stored in the library: %1
They are kept in the output folder:
%2</source>
        <translation>Новые записи невозможно сохранить в библиотеке: %1
Они сохраняются в выходной папке:
%2</translation>
    </message>
    <message>
        <source>The library is full: it holds at most 100,000 songs.
New recordings are kept in the output folder:
%1</source>
        <translation>Библиотека заполнена: в ней может быть не более 100 000 композиций.
Новые записи сохраняются в выходной папке:
%1</translation>
    </message>
    <message>
        <source>The library is in use by another program:
%1
It is left as it is and cannot be changed until that program lets it go; the songs you record until then are kept in the output folder and go into the library once it is free. If that program changed the library meanwhile, the library stays as it is and the songs go into it at the next start.</source>
        <translation>Библиотека используется другой программой:
%1
Она оставлена без изменений, и её нельзя изменить, пока та программа её не освободит; песни, записанные до тех пор, сохраняются в папке вывода и попадут в библиотеку, как только она освободится. Если та программа тем временем изменила библиотеку, библиотека остаётся без изменений, а песни попадут в неё при следующем запуске.</translation>
    </message>
    <message>
        <source>The library is in use by another program and cannot be changed now.</source>
        <translation>Библиотека используется другой программой, и сейчас её нельзя изменить.</translation>
    </message>
</context>
<context>
    <name>CMiniListItem</name>
    <message>
        <source>Title</source>
        <translation>Название</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>Исполнитель</translation>
    </message>
</context>
<context>
    <name>CMusicInfoTreeWidget</name>
    <message>
        <source>Name</source>
        <translation>Название</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Время</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>Исполнитель</translation>
    </message>
    <message>
        <source>Album</source>
        <translation>Альбом</translation>
    </message>
    <message>
        <source>Genre</source>
        <translation>Жанр</translation>
    </message>
    <message>
        <source>Date Added</source>
        <translation>Добавлено</translation>
    </message>
</context>
<context>
    <name>CMusicTagsEditDialog</name>
    <message>
        <source>Add</source>
        <translation>Добавить</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Удалить</translation>
    </message>
    <message>
        <source>Title:</source>
        <translation>Название:</translation>
    </message>
    <message>
        <source>Artist:</source>
        <translation>Исполнитель:</translation>
    </message>
    <message>
        <source>Album:</source>
        <translation>Альбом:</translation>
    </message>
    <message>
        <source>Year:</source>
        <translation>Год:</translation>
    </message>
    <message>
        <source>Genre:</source>
        <translation>Жанр:</translation>
    </message>
    <message>
        <source>Other</source>
        <translation>Другое</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>Music Tags Edit</source>
        <translation>Редактирование тегов</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>Открыть файл</translation>
    </message>
    <message>
        <source>Images</source>
        <translation>Изображения</translation>
    </message>
    <message>
        <source>The picture &quot;%1&quot; could not be copied into &quot;%2&quot;.
Nothing was changed.</source>
        <translation>Не удалось скопировать изображение «%1» в «%2».
Ничего не изменено.</translation>
    </message>
    <message>
        <source>The song file &quot;%1&quot; could not be renamed after the title.
Nothing was changed.</source>
        <translation>Не удалось переименовать файл песни «%1» по названию.
Ничего не изменено.</translation>
    </message>
    <message>
        <source>The library could not store the covers.
Nothing was changed.</source>
        <translation>Библиотеке не удалось сохранить обложки.
Ничего не изменено.</translation>
    </message>
</context>
<context>
    <name>CNetWidget</name>
    <message>
        <source>Enable Proxy</source>
        <translation>Использовать прокси</translation>
    </message>
    <message>
        <source>Proxy type:</source>
        <translation>Тип прокси:</translation>
    </message>
    <message>
        <source>Proxy host:</source>
        <translation>Прокси-сервер:</translation>
    </message>
    <message>
        <source>Proxy port:</source>
        <translation>Порт прокси:</translation>
    </message>
    <message>
        <source>Proxy name:</source>
        <translation>Имя пользователя:</translation>
    </message>
    <message>
        <source>Proxy password:</source>
        <translation>Пароль:</translation>
    </message>
</context>
<context>
    <name>CPasswordDialog</name>
    <message>
        <source>Trying to install kext. Please enter admin account and password.</source>
        <translation>Для установки драйвера введите учётную запись администратора и пароль.</translation>
    </message>
    <message>
        <source>Admin account</source>
        <translation>Учётная запись администратора</translation>
    </message>
    <message>
        <source>Password</source>
        <translation>Пароль</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Install</source>
        <translation>Установить</translation>
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
        <translation>Общие</translation>
    </message>
    <message>
        <source>Audio Source</source>
        <translation>Источник звука</translation>
    </message>
    <message>
        <source>Scheduler</source>
        <translation>Расписание</translation>
    </message>
    <message>
        <source>Control</source>
        <translation>Управление</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Формат</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>Подключение</translation>
    </message>
    <message>
        <source>Skin</source>
        <translation>Оформление</translation>
    </message>
    <message>
        <source>English</source>
        <translation>Английский</translation>
    </message>
    <message>
        <source>Japanese</source>
        <translation>Японский</translation>
    </message>
    <message>
        <source>German</source>
        <translation>Немецкий</translation>
    </message>
    <message>
        <source>Russian</source>
        <translation>Русский</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Output:</source>
        <translation>Папка:</translation>
    </message>
    <message>
        <source>Language:</source>
        <translation>Язык:</translation>
    </message>
    <message>
        <source>Choose your language:</source>
        <translation>Выберите язык:</translation>
    </message>
    <message>
        <source>Translate for us</source>
        <translation>Помогите с переводом</translation>
    </message>
    <message>
        <source>Automatically split when the silence is more than</source>
        <translation>Автоматически разделять при тишине дольше</translation>
    </message>
    <message>
        <source>Automatically filter,only save tracks longer than</source>
        <translation>Автоматически отбрасывать: сохранять только треки длиннее</translation>
    </message>
    <message>
        <source>seconds</source>
        <translation>секунд</translation>
    </message>
    <message>
        <source>Output Format:</source>
        <translation>Формат файлов:</translation>
    </message>
    <message>
        <source>mp3 Audio(*.mp3)</source>
        <translation>Аудио MP3 (*.mp3)</translation>
    </message>
    <message>
        <source>wav Audio(*.wav)</source>
        <translation>Аудио WAV (*.wav)</translation>
    </message>
    <message>
        <source>Audio Setting:</source>
        <translation>Параметры звука:</translation>
    </message>
    <message>
        <source>Audio Codec:</source>
        <translation>Аудиокодек:</translation>
    </message>
    <message>
        <source>Bit Rate(Kbps):</source>
        <translation>Битрейт (кбит/с):</translation>
    </message>
    <message>
        <source>Sample Rate(HZ):</source>
        <translation>Частота дискретизации (Гц):</translation>
    </message>
    <message>
        <source>Choose another folder.</source>
        <translation>Выберите другую папку.</translation>
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
    <name>CSetSourceDialog</name>
    <message>
        <source>Record Audio Input </source>
        <translation>Записывать аудиовход </translation>
    </message>
    <message>
        <source>Record Mic or other built-in input audio stream</source>
        <translation>Запись с микрофона или другого встроенного входа</translation>
    </message>
    <message>
        <source>Record Computer Audio</source>
        <translation>Записывать звук компьютера</translation>
    </message>
    <message>
        <source>Record computer audio stream or online music</source>
        <translation>Запись звука компьютера или музыки из интернета</translation>
    </message>
</context>
<context>
    <name>CSetTaskDialog</name>
    <message>
        <source>shut down after recording finished</source>
        <translation>Выключить компьютер после записи</translation>
    </message>
    <message>
        <source>Start time:</source>
        <translation>Время начала:</translation>
    </message>
    <message>
        <source>Recording Duration:</source>
        <translation>Длительность записи:</translation>
    </message>
    <message>
        <source>Task Scheduler:</source>
        <translation>Запись по расписанию:</translation>
    </message>
</context>
<context>
    <name>CShowCoverWidget</name>
    <message>
        <source>Play</source>
        <translation>Воспроизвести</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Изменить</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Удалить</translation>
    </message>
    <message>
        <source>Show in Folder</source>
        <translation>Показать в папке</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Название</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>Исполнитель</translation>
    </message>
</context>
<context>
    <name>CShowListWidget</name>
    <message>
        <source>Filter</source>
        <translation>Фильтр</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Все</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Название</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>Исполнитель</translation>
    </message>
    <message>
        <source>Album</source>
        <translation>Альбом</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Воспроизвести</translation>
    </message>
    <message>
        <source>Edit Music Tags</source>
        <translation>Изменить теги</translation>
    </message>
    <message>
        <source>Add to playlist</source>
        <translation>Добавить в плейлист</translation>
    </message>
    <message>
        <source>Add to iTunes</source>
        <translation>Добавить в iTunes</translation>
    </message>
    <message>
        <source>Select All</source>
        <translation>Выбрать все</translation>
    </message>
    <message>
        <source>Unselect All</source>
        <translation>Снять выделение</translation>
    </message>
    <message>
        <source>Show in Folder</source>
        <translation>Показать в папке</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Удалить</translation>
    </message>
    <message>
        <source>Date Played</source>
        <translation>Прослушано</translation>
    </message>
    <message>
        <source>Date Added</source>
        <translation>Добавлено</translation>
    </message>
    <message>
        <source>Unknown Artist</source>
        <translation>Неизвестный исполнитель</translation>
    </message>
    <message>
        <source>Unknown Album</source>
        <translation>Неизвестный альбом</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Are you sure you want to delete the 
selected file from Library?
Its original file will also be deleted.
 </source>
        <translation>Вы действительно хотите удалить 
выбранный файл из библиотеки?
Исходный файл также будет удалён.
 </translation>
    </message>
    <message>
        <source>Are you sure to delete the selected file?
</source>
        <translation>Вы действительно хотите удалить выбранный файл?
</translation>
    </message>
    <message>
        <source>Track</source>
        <translation>Трек</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>The library could not store the new song data.</source>
        <translation>Библиотеке не удалось сохранить новые данные песни.</translation>
    </message>
    <message>
        <source>Writing the song data into the file...</source>
        <translation>Данные песни записываются в файл...</translation>
    </message>
    <message>
        <source>The song data could not be written into the file:
%1
The file was left as it was.</source>
        <translation>Не удалось записать данные песни в файл:
%1
Файл оставлен без изменений.</translation>
    </message>
    <message>
        <source>Are you sure you want to delete the play list &quot;%1&quot;?
Its songs stay in the library.</source>
        <translation>Удалить список воспроизведения «%1»?
Его композиции останутся в библиотеке.</translation>
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
<context>
    <name>CToolBar</name>
    <message>
        <source>Playing</source>
        <translation>Воспроизведение</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Старт</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Воспроизвести</translation>
    </message>
    <message>
        <source>Ready</source>
        <translation>Готово</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>Записать</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Стоп</translation>
    </message>
    <message>
        <source>Library</source>
        <translation>Библиотека</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Настройки</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Выход</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Пауза</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>На паузе</translation>
    </message>
    <message>
        <source>Unknown Artist</source>
        <translation>Неизвестный исполнитель</translation>
    </message>
    <message>
        <source>Recording</source>
        <translation>Запись</translation>
    </message>
</context>
<context>
    <name>CTreeLib</name>
    <message>
        <source>Library</source>
        <translation>Библиотека</translation>
    </message>
    <message>
        <source>PlayList</source>
        <translation>Плейлисты</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Воспроизвести</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>Переименовать</translation>
    </message>
    <message>
        <source>Add to iTunes Library</source>
        <translation>Добавить в медиатеку iTunes</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Удалить</translation>
    </message>
    <message>
        <source>Create Library Failed!</source>
        <translation>Не удалось создать библиотеку</translation>
    </message>
    <message>
        <source>Get Library info failed!</source>
        <translation>Не удалось получить сведения о библиотеке.</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>The number of playlists has reached the maximum.
Note: the maximum playlists are 999.
</source>
        <translation>Количество плейлистов достигло максимума.
Примечание: можно создать не более 999 плейлистов.
</translation>
    </message>
    <message>
        <source>Create List Failed!</source>
        <translation>Не удалось создать плейлист</translation>
    </message>
    <message>
        <source>All Recordings</source>
        <translation>Все записи</translation>
    </message>
    <message>
        <source>New Recordings</source>
        <translation>Новые записи</translation>
    </message>
    <message>
        <source>Recently Played</source>
        <translation>Недавно слушали</translation>
    </message>
</context>
<context>
    <name>DesktopLinks</name>
    <message>
        <source>No file manager could open this folder. Open it yourself:
%1</source>
        <translation>Ни один файловый менеджер не смог открыть эту папку. Откройте её сами:
%1</translation>
    </message>
    <message>
        <source>No web browser could open this page. Open it yourself:
%1</source>
        <translation>Ни один веб-браузер не смог открыть эту страницу. Откройте её сами:
%1</translation>
    </message>
</context>
<context>
    <name>DiskNoEnoughDialog</name>
    <message>
        <source>The current path is invalid!</source>
        <translation>Текущий путь недоступен!</translation>
    </message>
</context>
<context>
    <name>OutputFolderCheck</name>
    <message>
        <source>No output folder is chosen. Choose one in Settings.</source>
        <translation>Выходная папка не выбрана. Выберите её в настройках.</translation>
    </message>
    <message>
        <source>The output folder is a file, not a folder:
%1</source>
        <translation>Выходная папка — это файл, а не папка:
%1</translation>
    </message>
    <message>
        <source>The output folder belongs to the system and cannot hold recordings:
%1</source>
        <translation>Выходная папка принадлежит системе и не может хранить записи:
%1</translation>
    </message>
    <message>
        <source>The output folder does not exist and cannot be created:
%1</source>
        <translation>Выходная папка не существует, и её нельзя создать:
%1</translation>
    </message>
    <message>
        <source>The output folder cannot be written:
%1</source>
        <translation>Запись в выходную папку невозможна:
%1</translation>
    </message>
</context>
<context>
    <name>ProductUpdateInfo</name>
    <message>
        <source>Check for updates...</source>
        <translation>Проверка обновлений...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Да</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Нет</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>All Recordings</source>
        <translation>Все записи</translation>
    </message>
    <message>
        <source>New Recordings</source>
        <translation>Новые записи</translation>
    </message>
    <message>
        <source>Recently Played</source>
        <translation>Недавно слушали</translation>
    </message>
    <message>
        <source>PlayList 1</source>
        <translation>Плейлист 1</translation>
    </message>
    <message>
        <source>PlayList</source>
        <translation>Плейлист</translation>
    </message>
    <message>
        <source>Unknown Artist</source>
        <translation>Неизвестный исполнитель</translation>
    </message>
    <message>
        <source>Unknown Album</source>
        <translation>Неизвестный альбом</translation>
    </message>
    <message>
        <source>the library is not open</source>
        <translation>библиотека не открыта</translation>
    </message>
    <message>
        <source>the library is in use by another program</source>
        <translation>библиотека используется другой программой</translation>
    </message>
</context>
<context>
    <name>WhatsNew</name>
    <message>
        <source>Yes</source>
        <translation>Да</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Нет</translation>
    </message>
</context>
<context>
    <name>guidialogExpire</name>
    <message>
        <source>Sorry, Tavrel Sonacap cant get music info automatically while recording now.</source>
        <translation>К сожалению, во время записи Tavrel Sonacap не может автоматически получить сведения о песне.</translation>
    </message>
    <message>
        <source>Please go Media, right click the file, click Edit Music Tags to add music tags.</source>
        <translation>Откройте «Медиа», щёлкните файл правой кнопкой и выберите «Изменить теги», чтобы добавить сведения.</translation>
    </message>
    <message>
        <source>Do not show this again</source>
        <translation>Больше не показывать</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
</context>
<context>
    <name>guidialogMicrophone</name>
    <message>
        <source>System prevents program from accessing microphone, please turn on Allow 
apps to access your microphone:</source>
        <translation>Система запрещает программе доступ к микрофону. Включите параметр
«Разрешить приложениям доступ к микрофону»:</translation>
    </message>
    <message>
        <source>In Win 10, go to Start  &gt; Settings  &gt; Privacy  &gt; Microphone.</source>
        <translation>Windows 10: Пуск &gt; Параметры &gt; Конфиденциальность &gt; Микрофон.</translation>
    </message>
    <message>
        <source>In Win 11, go to Start  &gt; Settings  &gt; Privacy &amp; security &gt; Microphone.</source>
        <translation>Windows 11: Пуск &gt; Параметры &gt; Конфиденциальность и защита &gt; Микрофон.</translation>
    </message>
    <message>
        <source>After enabling the authorization, please retry.</source>
        <translation>После этого повторите попытку.</translation>
    </message>
    <message>
        <source>If the problem still persists, please</source>
        <translation>Если проблема не исчезла,</translation>
    </message>
    <message>
        <source>Open Privacy under system Settings</source>
        <translation>Открыть параметры конфиденциальности</translation>
    </message>
    <message>
        <source>More information</source>
        <translation>Подробнее</translation>
    </message>
    <message>
        <source>contact us.</source>
        <translation>свяжитесь с нами.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>ОК</translation>
    </message>
</context>
</TS>
