<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name>AboutDialog</name>
    <message>
        <source>О программе...</source>
        <translation>About...</translation>
    </message>
    <message>
        <source>Quorvex - анализатор пакетов для модулей Tarvix</source>
        <translation>Quorvex - packet analyser for Tarvix modules</translation>
    </message>
    <message>
        <source>Версия: </source>
        <translation>Version: </translation>
    </message>
    <message>
        <source>версия</source>
        <translation>version</translation>
    </message>
    <message>
        <source>   Дата: </source>
        <translation>   Date: </translation>
    </message>
    <message>
        <source>дата</source>
        <translation>date</translation>
    </message>
    <message>
        <source>ООО «Велтрика»</source>
        <translation>Veltrica LLC</translation>
    </message>
    <message>
        <source>620144, Россия, г. Екатеринбург, ул. Сурикова, д. 31, офис 407</source>
        <translation>Office 407, 31 Surikova St., Yekaterinburg, 620144, Russia</translation>
    </message>
    <message>
        <source>Тел.: +7 (343) 287-41-60</source>
        <translation>Tel.: +7 (343) 287-41-60</translation>
    </message>
    <message>
        <source>E-mail: support@veltrica.ru   www.veltrica.ru</source>
        <translation>E-mail: support@veltrica.ru   www.veltrica.ru</translation>
    </message>
    <message>
        <source>Лицензия: GNU GPL версии 3 или более поздней</source>
        <translation>Licence: GNU GPL version 3 or later</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>%1г.</source>
        <translation>%1</translation>
    </message>
</context>
<context>
    <name>AscReader</name>
    <message>
        <source>журнал ASC</source>
        <translation>an ASC log</translation>
    </message>
</context>
<context>
    <name>BitGrid</name>
    <message>
        <source>постоянный</source>
        <translation>constant</translation>
    </message>
    <message>
        <source>счётчик</source>
        <translation>counter</translation>
    </message>
    <message>
        <source>меняется</source>
        <translation>changing</translation>
    </message>
    <message>
        <source>Байт %1</source>
        <translation>Byte %1</translation>
    </message>
    <message>
        <source>Байт %1, бит %2</source>
        <translation>Byte %1, bit %2</translation>
    </message>
    <message>
        <source>Переключений: %1, кадров: %2</source>
        <translation>Flips: %1, frames: %2</translation>
    </message>
    <message>
        <source>Последнее: %1</source>
        <translation>Last: %1</translation>
    </message>
    <message>
        <source>Сигнал: %1</source>
        <translation>Signal: %1</translation>
    </message>
</context>
<context>
    <name>BitPanel</name>
    <message>
        <source>Выберите идентификатор в статистике</source>
        <translation>Select an identifier in the statistics</translation>
    </message>
    <message>
        <source>Создать сигнал</source>
        <translation>Create signal</translation>
    </message>
    <message>
        <source>Протяните мышью по битам, затем создайте сигнал; двойной щелчок по сигналу изменяет его</source>
        <translation>Drag the mouse across bits, then create a signal; double-click a signal to edit it</translation>
    </message>
    <message>
        <source>Запомнить фон</source>
        <translation>Remember background</translation>
    </message>
    <message>
        <source>Биты, которые уже менялись, станут серыми; новые переключения будут яркими</source>
        <translation>Bits that have already changed turn grey; new flips stand out</translation>
    </message>
    <message>
        <source>Сбросить фон</source>
        <translation>Reset background</translation>
    </message>
    <message>
        <source> (29 бит)</source>
        <translation> (29 bits)</translation>
    </message>
    <message>
        <source>Кандидат</source>
        <translation>Candidate</translation>
    </message>
    <message>
        <source>Сообщение...</source>
        <translation>Message...</translation>
    </message>
    <message>
        <source>Изменить или удалить сообщение этого идентификатора</source>
        <translation>Change or delete the message of this identifier</translation>
    </message>
    <message>
        <source>Найти сигнал...</source>
        <translation>Find signal...</translation>
    </message>
    <message>
        <source>Искать сигнал по поведению его значения в кадрах этого идентификатора</source>
        <translation>Search for a signal by how its value behaves in the frames of this identifier</translation>
    </message>
    <message>
        <source>Охват:</source>
        <translation>Span:</translation>
    </message>
    <message>
        <source>По каким кадрам считать переключения битов</source>
        <translation>Which frames the bit flips are counted over</translation>
    </message>
    <message>
        <source>Весь журнал</source>
        <translation>Whole log</translation>
    </message>
    <message>
        <source>Последние секунды</source>
        <translation>Last seconds</translation>
    </message>
    <message>
        <source>Выбранные строки</source>
        <translation>Selected rows</translation>
    </message>
    <message>
        <source>Сколько последних секунд журнала считать</source>
        <translation>How many of the log&apos;s last seconds to count</translation>
    </message>
    <message>
        <source> с</source>
        <translation> s</translation>
    </message>
    <message>
        <source>Подсчёт: %p%</source>
        <translation>Counting: %p%</translation>
    </message>
    <message>
        <source>Выделите строки в журнале</source>
        <translation>Select rows in the log</translation>
    </message>
    <message>
        <source>Строк: %1</source>
        <translation>Rows: %1</translation>
    </message>
</context>
<context>
    <name>BlfReader</name>
    <message>
        <source>файл не похож на журнал BLF</source>
        <translation>the file does not look like a BLF log</translation>
    </message>
    <message>
        <source>ошибка чтения: %1</source>
        <translation>read error: %1</translation>
    </message>
    <message>
        <source>нет памяти для распаковки</source>
        <translation>out of memory for decompression</translation>
    </message>
    <message>
        <source>журнал BLF обрезан</source>
        <translation>BLF log truncated</translation>
    </message>
    <message>
        <source>неверный заголовок файла</source>
        <translation>bad file header</translation>
    </message>
    <message>
        <source>не объект BLF</source>
        <translation>not a BLF object</translation>
    </message>
    <message>
        <source>повреждённый заголовок объекта</source>
        <translation>damaged object header</translation>
    </message>
    <message>
        <source>объект длиннее файла</source>
        <translation>object longer than the file</translation>
    </message>
    <message>
        <source>повреждённый заголовок контейнера</source>
        <translation>damaged container header</translation>
    </message>
    <message>
        <source>контейнер с неизвестным сжатием</source>
        <translation>container with an unknown compression</translation>
    </message>
    <message>
        <source>контейнер короче своего сжатого потока</source>
        <translation>container shorter than its compressed stream</translation>
    </message>
    <message>
        <source>повреждённый контейнер</source>
        <translation>damaged container</translation>
    </message>
    <message>
        <source>повреждённый контейнер (zlib: %1)</source>
        <translation>damaged container (zlib: %1)</translation>
    </message>
    <message>
        <source>не объект BLF в контейнере</source>
        <translation>not a BLF object in the container</translation>
    </message>
    <message>
        <source>повреждённый объект в контейнере</source>
        <translation>damaged object in the container</translation>
    </message>
    <message>
        <source>обрезано концом файла</source>
        <translation>cut off by the end of the file</translation>
    </message>
</context>
<context>
    <name>BlfWriter</name>
    <message>
        <source>нет памяти для сжатия</source>
        <translation>out of memory for compression</translation>
    </message>
    <message>
        <source>ошибка сжатия</source>
        <translation>compression error</translation>
    </message>
    <message>
        <source>ошибка записи: %1</source>
        <translation>write error: %1</translation>
    </message>
</context>
<context>
    <name>CanConfig</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>Скорость: </source>
        <translation>Bit rate: </translation>
    </message>
    <message>
        <source>Установить</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>Список команд управления модулем через USB</source>
        <translation>Module control commands over USB</translation>
    </message>
    <message>
        <source>Отправить команду</source>
        <translation>Send command</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Конфигурация модуля Tarvix_vxx</source>
        <translation>Tarvix_vxx module configuration</translation>
    </message>
    <message>
        <source>Отправка пакета</source>
        <translation>Send packet</translation>
    </message>
    <message>
        <source>Не выбрана фукция!</source>
        <translation>No function selected!</translation>
    </message>
</context>
<context>
    <name>CanDataModel</name>
    <message>
        <source>%1, длина %2</source>
        <translation>%1, length %2</translation>
    </message>
</context>
<context>
    <name>CanSource</name>
    <message>
        <source>%1 не передаёт кадры CAN FD</source>
        <translation>%1 does not send CAN FD frames</translation>
    </message>
</context>
<context>
    <name>CandidatePlot</name>
    <message>
        <source>Время, с</source>
        <translation>Time, s</translation>
    </message>
</context>
<context>
    <name>CandumpReader</name>
    <message>
        <source>журнал candump</source>
        <translation>a candump log</translation>
    </message>
</context>
<context>
    <name>CaptureComparison</name>
    <message>
        <source>только A</source>
        <translation>A only</translation>
    </message>
    <message>
        <source>только B</source>
        <translation>B only</translation>
    </message>
    <message>
        <source>A и B</source>
        <translation>A and B</translation>
    </message>
    <message>
        <source>ID;FF;Наличие;Кадров A;Кадров B;Кадр/с A;Кадр/с B;Новые биты в B;Новые биты в A;Значения только в B
</source>
        <translation>ID;FF;Presence;Frames A;Frames B;Frames/s A;Frames/s B;New bits in B;New bits in A;Values only in B
</translation>
    </message>
</context>
<context>
    <name>CaptureFormats</name>
    <message>
        <source>Журнал candump</source>
        <translation>candump log</translation>
    </message>
    <message>
        <source>Таблица Quorvex</source>
        <translation>Quorvex table</translation>
    </message>
</context>
<context>
    <name>CaptureLoader</name>
    <message>
        <source>неизвестный формат файла</source>
        <translation>unknown file format</translation>
    </message>
    <message>
        <source>файл не найден</source>
        <translation>file not found</translation>
    </message>
</context>
<context>
    <name>CaptureOpener</name>
    <message>
        <source>Журналы CAN (%1);;</source>
        <translation>CAN logs (%1);;</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Открыть журнал</source>
        <translation>Open log</translation>
    </message>
    <message>
        <source>Журнал не открыт: %1 (%2)</source>
        <translation>Log not opened: %1 (%2)</translation>
    </message>
    <message>
        <source>в файле нет кадров</source>
        <translation>the file holds no frames</translation>
    </message>
    <message>
        <source>открытие отменено</source>
        <translation>opening cancelled</translation>
    </message>
    <message>
        <source>Загружено кадров: %1</source>
        <translation>Frames loaded: %1</translation>
    </message>
    <message>
        <source>Загрузка прервана, кадров: %1</source>
        <translation>Loading interrupted, frames: %1</translation>
    </message>
    <message>
        <source>Журнал прочитан не полностью (%1), кадров: %2</source>
        <translation>Log read incompletely (%1), frames: %2</translation>
    </message>
    <message>
        <source>строка %1</source>
        <translation>line %1</translation>
    </message>
    <message>
        <source>байт %1</source>
        <translation>byte %1</translation>
    </message>
    <message>
        <source> | Пропущено записей: %1</source>
        <translation> | Records skipped: %1</translation>
    </message>
    <message>
        <source>, повреждённых мест: %1 (первое: %2)</source>
        <translation>, damaged places: %1 (first: %2)</translation>
    </message>
    <message>
        <source>;;Все файлы (*)</source>
        <translation>;;All files (*)</translation>
    </message>
    <message>
        <source>Журнал не открыт:
%1
%2</source>
        <translation>Log not opened:
%1
%2</translation>
    </message>
</context>
<context>
    <name>CaptureWriter</name>
    <message>
        <source>ошибка записи: %1</source>
        <translation>write error: %1</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Анализатор CAN-шины для модуля Tarvix</source>
        <translation>CAN bus analyser for the Tarvix module</translation>
    </message>
    <message>
        <source>журнал для открытия (candump, ASC, TRC, BLF, CSV)</source>
        <translation>log to open (candump, ASC, TRC, BLF, CSV)</translation>
    </message>
</context>
<context>
    <name>CommandTab</name>
    <message>
        <source>Отправка пакета</source>
        <translation>Send packet</translation>
    </message>
    <message>
        <source>Не выбрана фукция!</source>
        <translation>No function selected!</translation>
    </message>
    <message>
        <source>Запись буфера %1 байт</source>
        <translation>Wrote buffer of %1 bytes</translation>
    </message>
    <message>
        <source>Только для модуля Tarvix: источник кадров — %1</source>
        <translation>Tarvix module only: the frame source is %1</translation>
    </message>
</context>
<context>
    <name>CompareDialog</name>
    <message>
        <source>Сравнить</source>
        <translation>Compare</translation>
    </message>
    <message>
        <source>A</source>
        <translation>A</translation>
    </message>
    <message>
        <source>файл захвата</source>
        <translation>capture file</translation>
    </message>
    <message>
        <source>Файл...</source>
        <translation>File...</translation>
    </message>
    <message>
        <source>с, с</source>
        <translation>from, s</translation>
    </message>
    <message>
        <source>по, с</source>
        <translation>to, s</translation>
    </message>
    <message>
        <source>B</source>
        <translation>B</translation>
    </message>
    <message>
        <source>Сохранить CSV...</source>
        <translation>Save CSV...</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Журнал</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>Файл</source>
        <translation>File</translation>
    </message>
    <message>
        <source>Наличие</source>
        <translation>Presence</translation>
    </message>
    <message>
        <source>Кадр/с A</source>
        <translation>Frames/s A</translation>
    </message>
    <message>
        <source>Кадр/с B</source>
        <translation>Frames/s B</translation>
    </message>
    <message>
        <source>Новые биты в B</source>
        <translation>New bits in B</translation>
    </message>
    <message>
        <source>Новые биты в A</source>
        <translation>New bits in A</translation>
    </message>
    <message>
        <source>Значения только в B</source>
        <translation>Values only in B</translation>
    </message>
    <message>
        <source>Кадров A / B</source>
        <translation>Frames A / B</translation>
    </message>
    <message>
        <source>Не удалось прочитать журнал</source>
        <translation>Could not read the log</translation>
    </message>
    <message>
        <source>Идентификаторов: %1</source>
        <translation>Identifiers: %1</translation>
    </message>
    <message>
        <source>Сохранить сравнение</source>
        <translation>Save comparison</translation>
    </message>
    <message>
        <source>Не удалось сохранить: %1</source>
        <translation>Could not save: %1</translation>
    </message>
    <message>
        <source>Захват A</source>
        <translation>Capture A</translation>
    </message>
    <message>
        <source>Захват B</source>
        <translation>Capture B</translation>
    </message>
    <message>
        <source>Из выделения</source>
        <translation>From selection</translation>
    </message>
    <message>
        <source>Выделите строки в журнале</source>
        <translation>Select rows in the log</translation>
    </message>
    <message>
        <source>Выберите файл</source>
        <translation>Choose a file</translation>
    </message>
    <message>
        <source>%1: выделено строк: %2</source>
        <translation>%1: rows selected: %2</translation>
    </message>
    <message>
        <source>Ровно выделенные строки журнала, сколько бы их ни было</source>
        <translation>Exactly the rows selected in the log, however many</translation>
    </message>
</context>
<context>
    <name>ConfigDialog</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>Последовательный порт (USB)</source>
        <translation>Serial port (USB)</translation>
    </message>
    <message>
        <source>Наименование</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Скорость</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>Рабочая директория:</source>
        <translation>Working directory:</translation>
    </message>
    <message>
        <source>Установить рабочую директорию</source>
        <translation>Set working directory</translation>
    </message>
    <message>
        <source>Файл отправки пакетов:</source>
        <translation>Transmit list file:</translation>
    </message>
    <message>
        <source>packets.json</source>
        <translation>packets.json</translation>
    </message>
    <message>
        <source>Записывать кадры в файл</source>
        <translation>Record frames to a file</translation>
    </message>
    <message>
        <source>Новый файл после, МБ:</source>
        <translation>New file after, MB:</translation>
    </message>
    <message>
        <source>Сохранить</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Установка конфигурации</source>
        <translation>Configuration</translation>
    </message>
    <message>
        <source>Рабочая папка</source>
        <translation>Working directory</translation>
    </message>
    <message>
        <source>Источник кадров</source>
        <translation>Frame source</translation>
    </message>
    <message>
        <source>Источник</source>
        <translation>Source</translation>
    </message>
    <message>
        <source>Драйвер</source>
        <translation>Plugin</translation>
    </message>
    <message>
        <source>Интерфейс</source>
        <translation>Interface</translation>
    </message>
    <message>
        <source>Сервер</source>
        <translation>Server</translation>
    </message>
    <message>
        <source>192.168.1.10</source>
        <translation>192.168.1.10</translation>
    </message>
    <message>
        <source>Скорость, бит/с</source>
        <translation>Bit rate, bit/s</translation>
    </message>
    <message>
        <source>не менять</source>
        <translation>leave as is</translation>
    </message>
    <message>
        <source>Данные CAN FD, бит/с</source>
        <translation>CAN FD data, bit/s</translation>
    </message>
    <message>
        <source>не задана</source>
        <translation>not set</translation>
    </message>
    <message>
        <source>Только слушать (ничего не передавать)</source>
        <translation>Listen only (transmit nothing)</translation>
    </message>
    <message>
        <source>Модуль Tarvix</source>
        <translation>Tarvix module</translation>
    </message>
    <message>
        <source>Адаптер CAN (Qt Serial Bus)</source>
        <translation>CAN adapter (Qt Serial Bus)</translation>
    </message>
    <message>
        <source>Сервер socketcand</source>
        <translation>socketcand server</translation>
    </message>
    <message>
        <source>Укажите интерфейс источника (и сервер)</source>
        <translation>Give the source's interface (and server)</translation>
    </message>
</context>
<context>
    <name>DbcDatabase</name>
    <message>
        <source>не удалось открыть файл: %1</source>
        <translation>cannot open the file: %1</translation>
    </message>
</context>
<context>
    <name>DbcEditor</name>
    <message>
        <source>Файлы DBC (*.dbc *.DBC);;Все файлы (*)</source>
        <translation>DBC files (*.dbc *.DBC);;All files (*)</translation>
    </message>
    <message>
        <source>Отменить</source>
        <translation>Undo</translation>
    </message>
    <message>
        <source>Повторить</source>
        <translation>Redo</translation>
    </message>
    <message>
        <source>Удалить сигнал %1</source>
        <translation>Delete signal %1</translation>
    </message>
    <message>
        <source>%1 сигнал %2</source>
        <translation>%1 signal %2</translation>
    </message>
    <message>
        <source>Изменить</source>
        <translation>Edit</translation>
    </message>
    <message>
        <source>Создать</source>
        <translation>Create</translation>
    </message>
    <message>
        <source>Сохранить DBC</source>
        <translation>Save DBC</translation>
    </message>
    <message>
        <source>В файле %1 есть непрочитанные утверждения (%2). При сохранении они будут потеряны. Сохранить?</source>
        <translation>The file %1 holds statements that were not read (%2). They will be lost on saving. Save?</translation>
    </message>
    <message>
        <source>DBC не сохранён: %1</source>
        <translation>DBC not saved: %1</translation>
    </message>
    <message>
        <source>DBC сохранён: %1</source>
        <translation>DBC saved: %1</translation>
    </message>
    <message>
        <source>Сохранить DBC как</source>
        <translation>Save DBC as</translation>
    </message>
    <message>
        <source>В базе DBC есть несохранённые изменения. Сохранить их?</source>
        <translation>The DBC database has unsaved changes. Save them?</translation>
    </message>
    <message>
        <source>Удалить сообщение %1</source>
        <translation>Delete message %1</translation>
    </message>
    <message>
        <source>Изменить сообщение %1</source>
        <translation>Change message %1</translation>
    </message>
</context>
<context>
    <name>DbcLoader</name>
    <message>
        <source>Файлы DBC (*.dbc *.DBC);;Все файлы (*)</source>
        <translation>DBC files (*.dbc *.DBC);;All files (*)</translation>
    </message>
    <message>
        <source>Загрузить DBC</source>
        <translation>Load DBC</translation>
    </message>
</context>
<context>
    <name>DbcReader</name>
    <message>
        <source>неверная версия</source>
        <translation>invalid version</translation>
    </message>
    <message>
        <source>неверный список NS_</source>
        <translation>invalid NS_ list</translation>
    </message>
    <message>
        <source>неверный список узлов</source>
        <translation>invalid node list</translation>
    </message>
    <message>
        <source>неверная таблица значений</source>
        <translation>invalid value table</translation>
    </message>
    <message>
        <source>неверное описание сообщения</source>
        <translation>invalid message definition</translation>
    </message>
    <message>
        <source>неверное описание сигнала</source>
        <translation>invalid signal definition</translation>
    </message>
    <message>
        <source>неверное описание атрибута</source>
        <translation>invalid attribute definition</translation>
    </message>
    <message>
        <source>неверный комментарий</source>
        <translation>invalid comment</translation>
    </message>
    <message>
        <source>неверное значение атрибута по умолчанию</source>
        <translation>invalid attribute default value</translation>
    </message>
    <message>
        <source>неверное значение атрибута</source>
        <translation>invalid attribute value</translation>
    </message>
    <message>
        <source>неверное описание значений сигнала</source>
        <translation>invalid signal value descriptions</translation>
    </message>
    <message>
        <source>неверный тип значения сигнала</source>
        <translation>invalid signal value type</translation>
    </message>
    <message>
        <source>неверное описание мультиплексирования</source>
        <translation>invalid multiplexing definition</translation>
    </message>
    <message>
        <source>неверный список отправителей</source>
        <translation>invalid transmitter list</translation>
    </message>
    <message>
        <source>неверное описание переменной среды</source>
        <translation>invalid environment variable definition</translation>
    </message>
    <message>
        <source>непонятный текст</source>
        <translation>unintelligible text</translation>
    </message>
    <message>
        <source>строка %1: </source>
        <translation>line %1: </translation>
    </message>
    <message>
        <source>сообщение %1 не описано</source>
        <translation>message %1 is not defined</translation>
    </message>
    <message>
        <source>в сообщении %1 нет сигнала %2</source>
        <translation>message %1 has no signal %2</translation>
    </message>
    <message>
        <source>сообщение %1 описано повторно, берётся новое описание</source>
        <translation>message %1 defined again, the new definition is taken</translation>
    </message>
    <message>
        <source>сигнал %1 вне сообщения</source>
        <translation>signal %1 outside a message</translation>
    </message>
    <message>
        <source>сигнал %1 в сообщении %2 описан повторно, берётся новое описание</source>
        <translation>signal %1 of message %2 defined again, the new definition is taken</translation>
    </message>
    <message>
        <source>узел %1 не описан</source>
        <translation>node %1 is not defined</translation>
    </message>
    <message>
        <source>атрибут %1 не объявлен</source>
        <translation>attribute %1 is not declared</translation>
    </message>
    <message>
        <source>тип значения сигнала %1 не подходит к его длине</source>
        <translation>the value type of signal %1 does not fit its length</translation>
    </message>
    <message>
        <source>сообщение %1: у сигнала %2 нет мультиплексора</source>
        <translation>message %1: signal %2 has no multiplexor</translation>
    </message>
</context>
<context>
    <name>DbcRules</name>
    <message>
        <source>Нет имени %1</source>
        <translation>No %1 name</translation>
    </message>
    <message>
        <source>Имя %1 «%2» — не идентификатор C: только латинские буквы, цифры и «_», первой не цифра</source>
        <translation>The %1 name &quot;%2&quot; is not a C identifier: Latin letters, digits and &quot;_&quot; only, not starting with a digit</translation>
    </message>
    <message>
        <source>Длина сигнала %1 бит: нужна от 1 до 64</source>
        <translation>Signal length %1 bits: must be 1 to 64</translation>
    </message>
    <message>
        <source>Биты сигнала выходят за сообщение длиной %1 байт</source>
        <translation>The signal&apos;s bits go beyond the message of %1 bytes</translation>
    </message>
    <message>
        <source>Число с плавающей точкой занимает %1 бит</source>
        <translation>A floating-point number takes %1 bits</translation>
    </message>
    <message>
        <source>Множитель не может быть равен 0</source>
        <translation>The factor cannot be 0</translation>
    </message>
    <message>
        <source>Минимум больше максимума</source>
        <translation>Minimum is greater than maximum</translation>
    </message>
    <message>
        <source>В сообщении нет мультиплексора для значения %1</source>
        <translation>The message has no multiplexor for value %1</translation>
    </message>
    <message>
        <source>сигнала</source>
        <translation>signal</translation>
    </message>
    <message>
        <source>Сигнал «%1» уже есть в сообщении %2</source>
        <translation>Signal &quot;%1&quot; already exists in message %2</translation>
    </message>
    <message>
        <source>В сообщении уже есть мультиплексор %1</source>
        <translation>The message already has multiplexor %1</translation>
    </message>
    <message>
        <source>сообщения</source>
        <translation>message</translation>
    </message>
    <message>
        <source>Идентификатор 0x%1 не помещается в %2 бит</source>
        <translation>Identifier 0x%1 does not fit in %2 bits</translation>
    </message>
    <message>
        <source>Длина сообщения %1 байт: нужна от 0 до 64</source>
        <translation>Message length %1 bytes: must be 0 to 64</translation>
    </message>
    <message>
        <source>отправителя</source>
        <translation>transmitter</translation>
    </message>
    <message>
        <source>Идентификатор 0x%1 уже занят сообщением %2</source>
        <translation>Identifier 0x%1 is already taken by message %2</translation>
    </message>
    <message>
        <source>Сообщение «%1» уже есть</source>
        <translation>Message &quot;%1&quot; already exists</translation>
    </message>
    <message>
        <source>Сигнал %1 не помещается в %2 байт</source>
        <translation>Signal %1 does not fit in %2 bytes</translation>
    </message>
    <message>
        <source>Сигнал %1 переключает сигнал %2: сначала удалите или измените его</source>
        <translation>Signal %1 switches signal %2: delete or change that one first</translation>
    </message>
    <message>
        <source>Сообщение длиннее 8 байт может быть только CAN FD</source>
        <translation>A message longer than 8 bytes can only be CAN FD</translation>
    </message>
    <message>
        <source>Длина сообщения CAN FD %1 байт: нужна от 0 до 8, 12, 16, 20, 24, 32, 48 или 64</source>
        <translation>CAN FD message length %1 bytes: needs 0 to 8, 12, 16, 20, 24, 32, 48 or 64</translation>
    </message>
</context>
<context>
    <name>DiagPairsDialog</name>
    <message>
        <source>Пары идентификаторов диагностики</source>
        <translation>Diagnostic identifier pairs</translation>
    </message>
    <message>
        <source>Кроме 0x7DF, 0x7E0–0x7EF и 0x18DA/0x18DB: идентификатор запроса и ответа (hex)</source>
        <translation>Besides 0x7DF, 0x7E0–0x7EF and 0x18DA/0x18DB: request and response identifier (hex)</translation>
    </message>
    <message>
        <source>Запрос</source>
        <translation>Request</translation>
    </message>
    <message>
        <source>Ответ</source>
        <translation>Response</translation>
    </message>
    <message>
        <source>Адресация</source>
        <translation>Addressing</translation>
    </message>
    <message>
        <source>Добавить</source>
        <translation>Add</translation>
    </message>
    <message>
        <source>Удалить</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>нормальная</source>
        <translation>normal</translation>
    </message>
    <message>
        <source>расширенная</source>
        <translation>extended</translation>
    </message>
    <message>
        <source>смешанная</source>
        <translation>mixed</translation>
    </message>
</context>
<context>
    <name>DiagnosticsModel</name>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Направление</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>Идентификаторы</source>
        <translation>Identifiers</translation>
    </message>
    <message>
        <source>Протокол</source>
        <translation>Protocol</translation>
    </message>
    <message>
        <source>Адреса</source>
        <translation>Addresses</translation>
    </message>
    <message>
        <source>Сервис / PGN</source>
        <translation>Service / PGN</translation>
    </message>
    <message>
        <source>Содержание</source>
        <translation>Meaning</translation>
    </message>
    <message>
        <source>Ответ, мс</source>
        <translation>Response, ms</translation>
    </message>
    <message>
        <source>Длина</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>Рассылка</source>
        <translation>Broadcast</translation>
    </message>
    <message>
        <source>Сообщение</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>Ответ</source>
        <translation>Response</translation>
    </message>
    <message>
        <source>Запрос</source>
        <translation>Request</translation>
    </message>
    <message>
        <source>ошибка: %1</source>
        <translation>error: %1</translation>
    </message>
</context>
<context>
    <name>DiagnosticsPage</name>
    <message>
        <source>Протокол:</source>
        <translation>Protocol:</translation>
    </message>
    <message>
        <source>ЭБУ:</source>
        <translation>ECU:</translation>
    </message>
    <message>
        <source>адрес или идентификатор (hex)</source>
        <translation>address or identifier (hex)</translation>
    </message>
    <message>
        <source>Сервис:</source>
        <translation>Service:</translation>
    </message>
    <message>
        <source>часть имени сервиса или PGN</source>
        <translation>part of a service name or PGN</translation>
    </message>
    <message>
        <source>Копировать hex</source>
        <translation>Copy hex</translation>
    </message>
    <message>
        <source>Пары...</source>
        <translation>Pairs...</translation>
    </message>
    <message>
        <source>Все</source>
        <translation>All</translation>
    </message>
    <message>
        <source>Копировать данные (hex)</source>
        <translation>Copy data (hex)</translation>
    </message>
</context>
<context>
    <name>ExchangeListing</name>
    <message>
        <source> … (4294967295 байт)</source>
        <translation> … (4294967295 bytes)</translation>
    </message>
    <message>
        <source> … (%1 байт)</source>
        <translation> … (%1 bytes)</translation>
    </message>
    <message>
        <source>[RD] … ещё ответов: %1 (%2 байт)</source>
        <translation>[RD] … more replies: %1 (%2 bytes)</translation>
    </message>
</context>
<context>
    <name>ExportJob</name>
    <message>
        <source>Отменено</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <source>строка %1 журнала не читается</source>
        <translation>log row %1 cannot be read</translation>
    </message>
</context>
<context>
    <name>FieldMarker</name>
    <message>
        <source>константа</source>
        <translation>constant</translation>
    </message>
    <message>
        <source>счётчик</source>
        <translation>counter</translation>
    </message>
    <message>
        <source>контрольная сумма</source>
        <translation>checksum</translation>
    </message>
    <message>
        <source>флаг</source>
        <translation>flag</translation>
    </message>
    <message>
        <source>значение</source>
        <translation>value</translation>
    </message>
    <message>
        <source>XOR</source>
        <translation>XOR</translation>
    </message>
    <message>
        <source>XOR с идентификатором</source>
        <translation>XOR with identifier</translation>
    </message>
    <message>
        <source>сумма</source>
        <translation>sum</translation>
    </message>
    <message>
        <source>сумма с идентификатором</source>
        <translation>sum with identifier</translation>
    </message>
    <message>
        <source>шаг %1</source>
        <translation>step %1</translation>
    </message>
    <message>
        <source>CRC-8, полином %1, начальное %2</source>
        <translation>CRC-8, polynomial %1, initial %2</translation>
    </message>
    <message>
        <source>минус сумма полубайтов</source>
        <translation>minus the sum of nibbles</translation>
    </message>
    <message>
        <source>сумма полубайтов</source>
        <translation>sum of nibbles</translation>
    </message>
    <message>
        <source>%1 с идентификатором</source>
        <translation>%1 with the identifier</translation>
    </message>
    <message>
        <source>%1 + %2 (с идентификатором: + %3)</source>
        <translation>%1 + %2 (with the identifier: + %3)</translation>
    </message>
    <message>
        <source>%1, конечный XOR %2</source>
        <translation>%1, final XOR %2</translation>
    </message>
</context>
<context>
    <name>FieldMarksDialog</name>
    <message>
        <source>Разметка полей</source>
        <translation>Field marks</translation>
    </message>
    <message>
        <source>С, с</source>
        <translation>From, s</translation>
    </message>
    <message>
        <source>по, с (0 — до конца)</source>
        <translation>to, s (0: to the end)</translation>
    </message>
    <message>
        <source>Разметить</source>
        <translation>Mark fields</translation>
    </message>
    <message>
        <source>Создать сигнал</source>
        <translation>Create signal</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Начальный бит</source>
        <translation>Start bit</translation>
    </message>
    <message>
        <source>Длина</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>Порядок байтов</source>
        <translation>Byte order</translation>
    </message>
    <message>
        <source>Вид</source>
        <translation>Kind</translation>
    </message>
    <message>
        <source>Подробно</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>Полей: %1</source>
        <translation>Fields: %1</translation>
    </message>
    <message>
        <source>Совпадает</source>
        <translation>Matches</translation>
    </message>
    <message>
        <source>%1 %</source>
        <translation>%1 %</translation>
    </message>
</context>
<context>
    <name>FilterMask</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Установка битовой маски</source>
        <translation>Bit mask</translation>
    </message>
</context>
<context>
    <name>FindBar</name>
    <message>
        <source>ID (hex):</source>
        <translation>ID (hex):</translation>
    </message>
    <message>
        <source>любой</source>
        <translation>any</translation>
    </message>
    <message>
        <source>Данные:</source>
        <translation>Data:</translation>
    </message>
    <message>
        <source>11 ?? 3F</source>
        <translation>11 ?? 3F</translation>
    </message>
    <message>
        <source>Найти далее</source>
        <translation>Find next</translation>
    </message>
    <message>
        <source>Enter, F3</source>
        <translation>Enter, F3</translation>
    </message>
    <message>
        <source>Найти ранее</source>
        <translation>Find previous</translation>
    </message>
    <message>
        <source>Shift+Enter, Shift+F3</source>
        <translation>Shift+Enter, Shift+F3</translation>
    </message>
    <message>
        <source>✕</source>
        <translation>✕</translation>
    </message>
    <message>
        <source>Закрыть (Esc)</source>
        <translation>Close (Esc)</translation>
    </message>
    <message>
        <source>Введите ID или данные</source>
        <translation>Enter an ID or data</translation>
    </message>
    <message>
        <source>Поиск...</source>
        <translation>Searching...</translation>
    </message>
    <message>
        <source>Не найдено</source>
        <translation>Not found</translation>
    </message>
    <message>
        <source>Поиск продолжен с начала</source>
        <translation>Search continued from the top</translation>
    </message>
    <message>
        <source>Поиск продолжен с конца</source>
        <translation>Search continued from the bottom</translation>
    </message>
    <message>
        <source>Поиск в журнале</source>
        <translation>Search the log</translation>
    </message>
</context>
<context>
    <name>FinderResults</name>
    <message>
        <source>нет кадров рядом</source>
        <translation>no frames near</translation>
    </message>
    <message>
        <source>№</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>Начальный бит</source>
        <translation>Start bit</translation>
    </message>
    <message>
        <source>Длина</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>Порядок байтов</source>
        <translation>Byte order</translation>
    </message>
    <message>
        <source>Знак</source>
        <translation>Sign</translation>
    </message>
    <message>
        <source>Значений</source>
        <translation>Values</translation>
    </message>
    <message>
        <source>Форм</source>
        <translation>Forms</translation>
    </message>
    <message>
        <source>%1 с</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>со знаком</source>
        <translation>signed</translation>
    </message>
    <message>
        <source>без знака</source>
        <translation>unsigned</translation>
    </message>
</context>
<context>
    <name>FrameIndex</name>
    <message>
        <source>Неизвестный формат файла: %1</source>
        <translation>Unknown file format: %1</translation>
    </message>
    <message>
        <source>Не удалось открыть %1: %2</source>
        <translation>Cannot open %1: %2</translation>
    </message>
</context>
<context>
    <name>FrameQuery</name>
    <message>
        <source>Неверный идентификатор</source>
        <translation>Invalid identifier</translation>
    </message>
    <message>
        <source>Неверный шаблон данных</source>
        <translation>Invalid data pattern</translation>
    </message>
</context>
<context>
    <name>GuideWindow</name>
    <message>
        <source>Руководство пользователя Quorvex</source>
        <translation>Quorvex user guide</translation>
    </message>
    <message>
        <source>Назад</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>Содержание</source>
        <translation>Contents</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>ru</source>
        <comment>guide language</comment>
        <extracomment>The language of the user&apos;s guide the window opens: &quot;ru&quot; or &quot;en&quot;.</extracomment>
        <translation>en</translation>
    </message>
</context>
<context>
    <name>HelpMenu</name>
    <message>
        <source>Руководство</source>
        <translation>User guide</translation>
    </message>
    <message>
        <source>Горячие клавиши</source>
        <translation>Keyboard shortcuts</translation>
    </message>
</context>
<context>
    <name>LanguageMenu</name>
    <message>
        <source>Русский</source>
        <translation>Russian</translation>
    </message>
    <message>
        <source>English</source>
        <translation>English</translation>
    </message>
    <message>
        <source>Системный</source>
        <translation>System</translation>
    </message>
    <message>
        <source>Язык сменится при следующем запуске программы.</source>
        <translation>The language will change the next time the program starts.</translation>
    </message>
</context>
<context>
    <name>LoadMeter</name>
    <message>
        <source>Нагрузка: CAN0-&gt;CAN1 %1% | CAN1-&gt;CAN0 %2%</source>
        <translation>Load: CAN0-&gt;CAN1 %1% | CAN1-&gt;CAN0 %2%</translation>
    </message>
</context>
<context>
    <name>LogFilters</name>
    <message>
        <source>Все</source>
        <translation>All</translation>
    </message>
    <message>
        <source>Установка маски ID</source>
        <translation>ID mask</translation>
    </message>
    <message>
        <source>Выберите соответствующий фильтр!</source>
        <translation>Choose the matching filter!</translation>
    </message>
    <message>
        <source>Отображать TX пакеты</source>
        <translation>Show TX frames</translation>
    </message>
    <message>
        <source>TX пакеты игнорировать</source>
        <translation>Ignore TX frames</translation>
    </message>
</context>
<context>
    <name>LogSaver</name>
    <message>
        <source>Сохранить журнал</source>
        <translation>Save log</translation>
    </message>
    <message>
        <source>Сигналы по DBC, CSV (*.csv)</source>
        <translation>DBC signals, CSV (*.csv)</translation>
    </message>
    <message>
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Журнал ещё сохраняется</source>
        <translation>The log is still being saved</translation>
    </message>
    <message>
        <source>Сохранено строк: %1 в %2</source>
        <translation>Rows saved: %1 to %2</translation>
    </message>
    <message>
        <source>Журнал не сохранён: %1</source>
        <translation>Log not saved: %1</translation>
    </message>
    <message>
        <source>Не удалось сохранить журнал в файл
%1
%2</source>
        <translation>Could not save the log to the file
%1
%2</translation>
    </message>
</context>
<context>
    <name>LogTimeChoice</name>
    <message>
        <source>Время суток</source>
        <translation>Time of day</translation>
    </message>
    <message>
        <source>От начала, с</source>
        <translation>Since start, s</translation>
    </message>
    <message>
        <source>Время строк журнала: время суток или секунды от первой строки</source>
        <translation>Time of the log rows: the time of day or seconds since the first row</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>MainWindow</source>
        <translation>MainWindow</translation>
    </message>
    <message>
        <source>Фильтры</source>
        <translation>Filters</translation>
    </message>
    <message>
        <source>ID маска: </source>
        <translation>ID mask: </translation>
    </message>
    <message>
        <source>Фильтр RX:</source>
        <translation>RX filter:</translation>
    </message>
    <message>
        <source> TX пакеты</source>
        <translation> TX frames</translation>
    </message>
    <message>
        <source>Формат данных</source>
        <translation>Data format</translation>
    </message>
    <message>
        <source>Очистить журнал вывода</source>
        <translation>Clear the output log</translation>
    </message>
    <message>
        <source>Очистить</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Сохранить журнал</source>
        <translation>Save log</translation>
    </message>
    <message>
        <source>Сохранить...</source>
        <translation>Save...</translation>
    </message>
    <message>
        <source>Журнал</source>
        <translation>Log</translation>
    </message>
    <message>
        <source>Команды управления</source>
        <translation>Control commands</translation>
    </message>
    <message>
        <source>Скорость: </source>
        <translation>Bit rate: </translation>
    </message>
    <message>
        <source>Установить</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>Список команд управления модулем через USB</source>
        <translation>Module control commands over USB</translation>
    </message>
    <message>
        <source>Отправить команду</source>
        <translation>Send command</translation>
    </message>
    <message>
        <source>Листинг обмена</source>
        <translation>Exchange listing</translation>
    </message>
    <message>
        <source>Статистика</source>
        <translation>Statistics</translation>
    </message>
    <message>
        <source>Сигналы</source>
        <translation>Signals</translation>
    </message>
    <message>
        <source>Диагностика</source>
        <translation>Diagnostics</translation>
    </message>
    <message>
        <source>&amp;Файл</source>
        <translation>&amp;File</translation>
    </message>
    <message>
        <source>&amp;Установки</source>
        <translation>&amp;Settings</translation>
    </message>
    <message>
        <source>&amp;Помощь</source>
        <translation>&amp;Help</translation>
    </message>
    <message>
        <source>&amp;Анализ</source>
        <translation>&amp;Analysis</translation>
    </message>
    <message>
        <source>toolBar</source>
        <translation>toolBar</translation>
    </message>
    <message>
        <source>О программе...</source>
        <translation>About...</translation>
    </message>
    <message>
        <source>Настройка порта ...</source>
        <translation>Port settings ...</translation>
    </message>
    <message>
        <source>Открыть журнал...</source>
        <translation>Open log...</translation>
    </message>
    <message>
        <source>Ctrl+O</source>
        <translation>Ctrl+O</translation>
    </message>
    <message>
        <source>Воспроизвести журнал...</source>
        <translation>Replay log...</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Установить / разорвать соединение</source>
        <translation>Connect / disconnect</translation>
    </message>
    <message>
        <source>Битовая маска...</source>
        <translation>Bit mask...</translation>
    </message>
    <message>
        <source>Установить битовую маску</source>
        <translation>Set bit mask</translation>
    </message>
    <message>
        <source>Пакеты для отправки</source>
        <translation>Frames to send</translation>
    </message>
    <message>
        <source>Конфигурация и статус CAN... </source>
        <translation>CAN configuration and status... </translation>
    </message>
    <message>
        <source>Конфигурация и статус CAN</source>
        <translation>CAN configuration and status</translation>
    </message>
    <message>
        <source>Загрузить DBC...</source>
        <translation>Load DBC...</translation>
    </message>
    <message>
        <source>Забыть DBC</source>
        <translation>Forget DBC</translation>
    </message>
    <message>
        <source>Сохранить DBC</source>
        <translation>Save DBC</translation>
    </message>
    <message>
        <source>Сохранить DBC как...</source>
        <translation>Save DBC as...</translation>
    </message>
    <message>
        <source>Найти сигнал...</source>
        <translation>Find signal...</translation>
    </message>
    <message>
        <source>Разметить</source>
        <translation>Mark fields</translation>
    </message>
    <message>
        <source>Сравнить...</source>
        <translation>Compare...</translation>
    </message>
    <message>
        <source>Veltrica. Анализатор пакетов Quorvex %1</source>
        <translation>Veltrica. Quorvex packet analyser %1</translation>
    </message>
    <message>
        <source>Биты</source>
        <translation>Bits</translation>
    </message>
    <message>
        <source> закрыт</source>
        <translation> closed</translation>
    </message>
    <message>
        <source> ошибка соединения</source>
        <translation> connection error</translation>
    </message>
    <message>
        <source> открыт</source>
        <translation> open</translation>
    </message>
    <message>
        <source>Старт тестер</source>
        <translation>Tester started</translation>
    </message>
    <message>
        <source>Запись %1 байт</source>
        <translation>Wrote %1 bytes</translation>
    </message>
    <message>
        <source>Ошибка записи!</source>
        <translation>Write error!</translation>
    </message>
    <message>
        <source>Отправка кадров</source>
        <translation>Send frames</translation>
    </message>
    <message>
        <source>Порт закрыт! уставновите соединение!</source>
        <translation>The port is closed! Connect first!</translation>
    </message>
    <message>
        <source>Veltrica. Анализатор пакетов Quorvex %1 — %2</source>
        <translation>Veltrica. Quorvex packet analyser %1 — %2</translation>
    </message>
    <message>
        <source>Журнал открывается при закрытом порте</source>
        <translation>A log is opened while the port is closed</translation>
    </message>
    <message>
        <source>Открыть другой журнал</source>
        <translation>Open another log</translation>
    </message>
    <message>
        <source>Закрыть программу</source>
        <translation>Quit the program</translation>
    </message>
    <message>
        <source>Очистить журнал</source>
        <translation>Clear the log</translation>
    </message>
    <message>
        <source>Время</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>Ошибка записи: %1</source>
        <translation>Write error: %1</translation>
    </message>
</context>
<context>
    <name>MessageDialog</name>
    <message>
        <source>Сообщение</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>Идентификатор</source>
        <translation>Identifier</translation>
    </message>
    <message>
        <source>Имя сообщения</source>
        <translation>Message name</translation>
    </message>
    <message>
        <source>Длина, байт</source>
        <translation>Length, bytes</translation>
    </message>
    <message>
        <source>Отправитель</source>
        <translation>Transmitter</translation>
    </message>
    <message>
        <source>Комментарий</source>
        <translation>Comment</translation>
    </message>
    <message>
        <source>color: #c00000;</source>
        <translation>color: #c00000;</translation>
    </message>
    <message>
        <source>Удалить сообщение</source>
        <translation>Delete message</translation>
    </message>
    <message>
        <source>Удаляет сообщение со всеми его сигналами; Ctrl+Z вернёт его</source>
        <translation>Deletes the message with all its signals; Ctrl+Z brings it back</translation>
    </message>
    <message>
        <source> (29 бит)</source>
        <translation> (29 bits)</translation>
    </message>
    <message>
        <source>CAN FD</source>
        <translation>CAN FD</translation>
    </message>
    <message>
        <source>Кадр CAN FD: до 64 байт данных; сообщение длиннее 8 байт бывает только таким</source>
        <translation>A CAN FD frame: up to 64 data bytes; a message longer than 8 bytes can only be one</translation>
    </message>
</context>
<context>
    <name>ModuleCommand</name>
    <message>
        <source>[0x01] Имя модуля</source>
        <translation>[0x01] Module name</translation>
    </message>
    <message>
        <source>[0x02] Версия модуля</source>
        <translation>[0x02] Module version</translation>
    </message>
    <message>
        <source>[0x03] Включить USB мониторинг(новый формат)</source>
        <translation>[0x03] USB monitoring on (new format)</translation>
    </message>
    <message>
        <source>[0x83] Выключить USB мониторинг</source>
        <translation>[0x83] USB monitoring off</translation>
    </message>
    <message>
        <source>[0x04] Включить старый формат</source>
        <translation>[0x04] Old format on</translation>
    </message>
    <message>
        <source>[0x05] Включение резистора на линии CAN0</source>
        <translation>[0x05] CAN0 line resistor on</translation>
    </message>
    <message>
        <source>[0x15] Опрос состояния резистора на линии CAN0</source>
        <translation>[0x15] Query CAN0 line resistor state</translation>
    </message>
    <message>
        <source>[0x85] Выключение резистора на линии CAN0</source>
        <translation>[0x85] CAN0 line resistor off</translation>
    </message>
    <message>
        <source>[0x06] Включение резистора на линии CAN1</source>
        <translation>[0x06] CAN1 line resistor on</translation>
    </message>
    <message>
        <source>[0x16] Опрос состояния резистора на линии CAN1</source>
        <translation>[0x16] Query CAN1 line resistor state</translation>
    </message>
    <message>
        <source>[0x86] Выключение резистора на линии CAN1</source>
        <translation>[0x86] CAN1 line resistor off</translation>
    </message>
    <message>
        <source>[0x10] Запрос текущей скорости CAN</source>
        <translation>[0x10] Query current CAN bit rate</translation>
    </message>
    <message>
        <source>[0x14] Запрос текущего протокола</source>
        <translation>[0x14] Query current protocol</translation>
    </message>
</context>
<context>
    <name>PcapngReader</name>
    <message>
        <source>запись pcap не из кадров CAN (тип канала %1)</source>
        <translation>the pcap capture does not hold CAN frames (link type %1)</translation>
    </message>
    <message>
        <source>файл не похож на запись pcapng или pcap</source>
        <translation>the file does not look like a pcapng or pcap capture</translation>
    </message>
    <message>
        <source>версия pcapng %1 не поддерживается</source>
        <translation>pcapng version %1 is not supported</translation>
    </message>
    <message>
        <source>ошибка чтения: %1</source>
        <translation>read error: %1</translation>
    </message>
    <message>
        <source>в записи pcapng нет интерфейсов CAN (SocketCAN)</source>
        <translation>the pcapng capture has no CAN (SocketCAN) interfaces</translation>
    </message>
    <message>
        <source>запись pcap обрезана</source>
        <translation>pcap capture truncated</translation>
    </message>
    <message>
        <source>запись pcapng обрезана</source>
        <translation>pcapng capture truncated</translation>
    </message>
    <message>
        <source>запись pcap повреждена</source>
        <translation>pcap capture damaged</translation>
    </message>
    <message>
        <source>запись pcapng повреждена</source>
        <translation>pcapng capture damaged</translation>
    </message>
    <message>
        <source>повреждённый блок</source>
        <translation>damaged block</translation>
    </message>
    <message>
        <source>блок длиннее остатка файла</source>
        <translation>block longer than the rest of the file</translation>
    </message>
    <message>
        <source>блок неизвестного типа 0x%1</source>
        <translation>block of an unknown type 0x%1</translation>
    </message>
    <message>
        <source>повреждённое описание интерфейса</source>
        <translation>damaged interface description</translation>
    </message>
    <message>
        <source>повреждённый пакет</source>
        <translation>damaged packet</translation>
    </message>
    <message>
        <source>обрезано концом файла</source>
        <translation>cut off by the end of the file</translation>
    </message>
</context>
<context>
    <name>PortProbe</name>
    <message>
        <source>не терминал</source>
        <translation>not a terminal</translation>
    </message>
    <message>
        <source>нет такого файла</source>
        <translation>no such file</translation>
    </message>
    <message>
        <source>нет прав</source>
        <translation>no permission</translation>
    </message>
</context>
<context>
    <name>RecentFilesMenu</name>
    <message>
        <source>Недавние</source>
        <translation>Recent</translation>
    </message>
    <message>
        <source>Очистить список</source>
        <translation>Clear the list</translation>
    </message>
    <message>
        <source>Файла больше нет:
%1
Он убран из списка недавних.</source>
        <translation>The file is gone:
%1
It has been taken off the recent files.</translation>
    </message>
</context>
<context>
    <name>RecordingControl</name>
    <message>
        <source>Запись: %1 (%2)</source>
        <translation>Recording: %1 (%2)</translation>
    </message>
    <message>
        <source>Запись остановлена: </source>
        <translation>Recording stopped: </translation>
    </message>
    <message>
        <source>Запись</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>Запись не началась: %1
Папка записи задаётся в «Настройка порта ...».</source>
        <translation>Recording did not start: %1
The recording folder is set in &quot;Port settings ...&quot;.</translation>
    </message>
</context>
<context>
    <name>ReplayDialog</name>
    <message>
        <source>Воспроизведение журнала</source>
        <translation>Replay log</translation>
    </message>
    <message>
        <source>Интервалы по времени кадров журнала</source>
        <translation>Intervals from the log&apos;s frame times</translation>
    </message>
    <message>
        <source>Постоянный интервал, мс:</source>
        <translation>Fixed interval, ms:</translation>
    </message>
    <message>
        <source>Только выделенные строки</source>
        <translation>Selected rows only</translation>
    </message>
    <message>
        <source>Повторять по кругу</source>
        <translation>Repeat in a loop</translation>
    </message>
    <message>
        <source>Старт</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Стоп</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Закрыть</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Кадров в открытом журнале: %1</source>
        <translation>Frames in the open log: %1</translation>
    </message>
    <message>
        <source>Отправлено: %1 из %2, круг %3</source>
        <translation>Sent: %1 of %2, loop %3</translation>
    </message>
</context>
<context>
    <name>RowStore</name>
    <message>
        <source>ошибка записи</source>
        <translation>write error</translation>
    </message>
</context>
<context>
    <name>SearchCondition</name>
    <message>
        <source>равно %1</source>
        <translation>equals %1</translation>
    </message>
    <message>
        <source>между %1 и %2</source>
        <translation>between %1 and %2</translation>
    </message>
    <message>
        <source>выросло</source>
        <translation>rose</translation>
    </message>
    <message>
        <source>уменьшилось</source>
        <translation>fell</translation>
    </message>
    <message>
        <source>не изменилось</source>
        <translation>unchanged</translation>
    </message>
    <message>
        <source>изменилось</source>
        <translation>changed</translation>
    </message>
    <message>
        <source>изменилось на %1</source>
        <translation>changed by %1</translation>
    </message>
    <message>
        <source>не убывало</source>
        <translation>did not decrease</translation>
    </message>
    <message>
        <source>не возрастало</source>
        <translation>did not increase</translation>
    </message>
    <message>
        <source>менялось не больше %1 раз</source>
        <translation>changed at most %1 times</translation>
    </message>
    <message>
        <source>%1 (допуск %2)</source>
        <translation>%1 (tolerance %2)</translation>
    </message>
</context>
<context>
    <name>SelectionCount</name>
    <message>
        <source>Выделено строк: %1</source>
        <translation>Rows selected: %1</translation>
    </message>
</context>
<context>
    <name>SendDialog</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>Старт</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Стоп</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>Отправить</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>раз</source>
        <translation>times</translation>
    </message>
    <message>
        <source>Открыть файл кадров</source>
        <translation>Open frame file</translation>
    </message>
    <message>
        <source>Сохранить и выйти</source>
        <translation>Save and exit</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Отправка пакетов (кадров)</source>
        <translation>Send packets (frames)</translation>
    </message>
    <message>
        <source>Открыть файл пакетов</source>
        <translation>Open packet file</translation>
    </message>
    <message>
        <source>Ошибка чтения пакета отправки</source>
        <translation>Error reading the transmit packet</translation>
    </message>
    <message>
        <source>Чтение пакета отправки, нет данных</source>
        <translation>Reading the transmit packet: no data</translation>
    </message>
    <message>
        <source>Чтение пакетов, всего: %1</source>
        <translation>Packets read, total: %1</translation>
    </message>
    <message>
        <source>Запись пакета отправки, нет данных</source>
        <translation>Writing the transmit packet: no data</translation>
    </message>
    <message>
        <source>Запись пакета отправки, ОК</source>
        <translation>Transmit packet written, OK</translation>
    </message>
    <message>
        <source>Ошибка записи пакета отправки</source>
        <translation>Error writing the transmit packet</translation>
    </message>
    <message>
        <source>Байты данных с D8 по D63 кадра CAN FD, шестнадцатеричные через пробел; недостающие до длины кадра равны 0</source>
        <translation>Data bytes D8 to D63 of a CAN FD frame, hexadecimal, separated by blanks; those missing up to the frame length are 0</translation>
    </message>
    <message>
        <source>Кадры CAN FD не отправляются: %1</source>
        <translation>CAN FD frames are not sent: %1</translation>
    </message>
</context>
<context>
    <name>ShortcutsDialog</name>
    <message>
        <source>Горячие клавиши</source>
        <translation>Keyboard shortcuts</translation>
    </message>
    <message>
        <source>Действие</source>
        <translation>Action</translation>
    </message>
    <message>
        <source>Клавиши</source>
        <translation>Keys</translation>
    </message>
</context>
<context>
    <name>SignalDialog</name>
    <message>
        <source>Сигнал</source>
        <translation>Signal</translation>
    </message>
    <message>
        <source>Сообщение</source>
        <translation>Message</translation>
    </message>
    <message>
        <source>Имя сообщения</source>
        <translation>Message name</translation>
    </message>
    <message>
        <source>Длина, байт</source>
        <translation>Length, bytes</translation>
    </message>
    <message>
        <source>Отправитель</source>
        <translation>Transmitter</translation>
    </message>
    <message>
        <source>Имя</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Порядок байтов</source>
        <translation>Byte order</translation>
    </message>
    <message>
        <source>Начальный бит</source>
        <translation>Start bit</translation>
    </message>
    <message>
        <source>Длина, бит</source>
        <translation>Length, bits</translation>
    </message>
    <message>
        <source>Со знаком</source>
        <translation>Signed</translation>
    </message>
    <message>
        <source>Множитель</source>
        <translation>Factor</translation>
    </message>
    <message>
        <source>Смещение</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>Минимум</source>
        <translation>Minimum</translation>
    </message>
    <message>
        <source>Максимум</source>
        <translation>Maximum</translation>
    </message>
    <message>
        <source>Единица</source>
        <translation>Unit</translation>
    </message>
    <message>
        <source>Получатели</source>
        <translation>Receivers</translation>
    </message>
    <message>
        <source>Мультиплексирование</source>
        <translation>Multiplexing</translation>
    </message>
    <message>
        <source>Значение мультиплексора</source>
        <translation>Multiplexor value</translation>
    </message>
    <message>
        <source>Значения (строка: число текст)</source>
        <translation>Values (one per line: number text)</translation>
    </message>
    <message>
        <source>Комментарий</source>
        <translation>Comment</translation>
    </message>
    <message>
        <source>color: #c00000;</source>
        <translation>color: #c00000;</translation>
    </message>
    <message>
        <source>Удалить сигнал</source>
        <translation>Delete signal</translation>
    </message>
    <message>
        <source>Нет</source>
        <translation>None</translation>
    </message>
    <message>
        <source>Мультиплексор</source>
        <translation>Multiplexor</translation>
    </message>
    <message>
        <source>По значению мультиплексора</source>
        <translation>By multiplexor value</translation>
    </message>
    <message>
        <source>%1: не число</source>
        <translation>%1: not a number</translation>
    </message>
    <message>
        <source>CAN FD</source>
        <translation>CAN FD</translation>
    </message>
    <message>
        <source>Кадр CAN FD: до 64 байт данных; сообщение длиннее 8 байт бывает только таким</source>
        <translation>A CAN FD frame: up to 64 data bytes; a message longer than 8 bytes can only be one</translation>
    </message>
</context>
<context>
    <name>SignalFinder</name>
    <message>
        <source>Найти сигнал</source>
        <translation>Find signal</translation>
    </message>
    <message>
        <source>Множитель</source>
        <translation>Factor</translation>
    </message>
    <message>
        <source>Смещение</source>
        <translation>Offset</translation>
    </message>
    <message>
        <source>Длина до 64 бит</source>
        <translation>Length up to 64 bits</translation>
    </message>
    <message>
        <source>Идентификаторы</source>
        <translation>Identifiers</translation>
    </message>
    <message>
        <source>все; или через пробел: 0x108 0x18FF1234</source>
        <translation>all; or separated by spaces: 0x108 0x18FF1234</translation>
    </message>
    <message>
        <source>Условие</source>
        <translation>Condition</translation>
    </message>
    <message>
        <source>Момент 1, с</source>
        <translation>Moment 1, s</translation>
    </message>
    <message>
        <source>Из журнала</source>
        <translation>From the log</translation>
    </message>
    <message>
        <source>Момент 2, с</source>
        <translation>Moment 2, s</translation>
    </message>
    <message>
        <source>N (A)</source>
        <translation>N (A)</translation>
    </message>
    <message>
        <source>B</source>
        <translation>B</translation>
    </message>
    <message>
        <source>Допуск</source>
        <translation>Tolerance</translation>
    </message>
    <message>
        <source>K раз</source>
        <translation>K times</translation>
    </message>
    <message>
        <source>Применить</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>Отменить шаг</source>
        <translation>Undo step</translation>
    </message>
    <message>
        <source>Сначала</source>
        <translation>Start over</translation>
    </message>
    <message>
        <source>Прервать</source>
        <translation>Abort</translation>
    </message>
    <message>
        <source>Осталось кандидатов: —</source>
        <translation>Candidates left: —</translation>
    </message>
    <message>
        <source>Создать сигнал</source>
        <translation>Create signal</translation>
    </message>
    <message>
        <source>между A и B</source>
        <translation>between A and B</translation>
    </message>
    <message>
        <source>менялось не больше K раз</source>
        <translation>changed at most K times</translation>
    </message>
    <message>
        <source>Осталось кандидатов: %1</source>
        <translation>Candidates left: %1</translation>
    </message>
    <message>
        <source>Осталось кандидатов: все</source>
        <translation>Candidates left: all</translation>
    </message>
    <message>
        <source>Для «равно», «между», «изменилось на»: насколько значение может отличаться. Для «выросло», «уменьшилось», «изменилось», «не изменилось»: движение не больше допуска не в счёт. Для «не убывало» и «не возрастало»: насколько глубоким может быть провал. Для «менялось не больше K раз»: движения в пределах допуска не считаются изменениями. В процентах: от размаха значения на отрезке для условий на отрезке, иначе от заданного или сравниваемого значения.</source>
        <translation>For “equals”, “between”, “changed by”: how far the value may be off. For “rose”, “fell”, “changed”, “unchanged”: a move no larger than the tolerance does not count. For “did not decrease” and “did not increase”: how deep a dip may be. For “changed at most K times”: moves within the tolerance are no changes. As a percentage: of the value&apos;s range over the span for span conditions, else of the value stated or compared.</translation>
    </message>
    <message>
        <source>№</source>
        <translation>No.</translation>
    </message>
    <message>
        <source>Масштаб: в момент, с</source>
        <translation>Scale: at moment, s</translation>
    </message>
    <message>
        <source>значение</source>
        <translation>value</translation>
    </message>
    <message>
        <source>в момент, с</source>
        <translation>at moment, s</translation>
    </message>
    <message>
        <source>Подобрать масштаб</source>
        <translation>Fit the scale</translation>
    </message>
    <message>
        <source>ед.</source>
        <translation>units</translation>
    </message>
    <message>
        <source>Масштаб не подобрать: в эти моменты у поля одно значение или рядом нет кадров</source>
        <translation>No scale: the field has the same value at both moments, or no frames near one</translation>
    </message>
    <message>
        <source>Множитель %1, смещение %2</source>
        <translation>Factor %1, offset %2</translation>
    </message>
</context>
<context>
    <name>SignalPlot</name>
    <message>
        <source>Время, с</source>
        <translation>Time, s</translation>
    </message>
    <message>
        <source>Двойной щелчок по сигналу добавляет его на график</source>
        <translation>Double-click a signal to add it to the plot</translation>
    </message>
    <message>
        <source>t = %1 с</source>
        <translation>t = %1 s</translation>
    </message>
</context>
<context>
    <name>SignalSet</name>
    <message>
        <source>DBC %1: ошибок %2, первая: %3</source>
        <translation>DBC %1: %2 errors, first: %3</translation>
    </message>
    <message>
        <source>DBC не загружены</source>
        <translation>No DBC loaded</translation>
    </message>
    <message>
        <source>DBC: файлов %1, сообщений %2</source>
        <translation>DBC: %1 files, %2 messages</translation>
    </message>
</context>
<context>
    <name>SignalsPage</name>
    <message>
        <source>Выберите кадр в журнале или в статистике</source>
        <translation>Select a frame in the log or in the statistics</translation>
    </message>
    <message>
        <source>Раздельные графики</source>
        <translation>Separate plots</translation>
    </message>
    <message>
        <source>Последние 30 с</source>
        <translation>Last 30 s</translation>
    </message>
    <message>
        <source>Очистить график</source>
        <translation>Clear plot</translation>
    </message>
    <message>
        <source>Экспорт сигналов в CSV...</source>
        <translation>Export signals to CSV...</translation>
    </message>
    <message>
        <source>Сигналы на графике (или все сигналы выбранного сообщения), строка на кадр</source>
        <translation>Signals on the plot (or all signals of the selected message), one row per frame</translation>
    </message>
    <message>
        <source>Сигнал</source>
        <translation>Signal</translation>
    </message>
    <message>
        <source>Значение</source>
        <translation>Value</translation>
    </message>
    <message>
        <source>Сырое</source>
        <translation>Raw</translation>
    </message>
    <message>
        <source>Текст</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Мин .. Макс</source>
        <translation>Min .. Max</translation>
    </message>
    <message>
        <source>строка %1 журнала не читается</source>
        <translation>log row %1 cannot be read</translation>
    </message>
    <message>
        <source>%1: нет в загруженных DBC</source>
        <translation>%1: not in the loaded DBC files</translation>
    </message>
    <message>
        <source>Экспорт сигналов в CSV</source>
        <translation>Export signals to CSV</translation>
    </message>
    <message>
        <source>Таблица CSV (*.csv)</source>
        <translation>CSV table (*.csv)</translation>
    </message>
    <message>
        <source>Сигналы ещё экспортируются</source>
        <translation>Signals are still being exported</translation>
    </message>
    <message>
        <source>Нет сигналов для экспорта</source>
        <translation>No signals to export</translation>
    </message>
    <message>
        <source>Экспорт сигналов в %1...</source>
        <translation>Exporting signals to %1...</translation>
    </message>
    <message>
        <source>Сигналы сохранены в %1</source>
        <translation>Signals saved to %1</translation>
    </message>
    <message>
        <source>Сигналы не сохранены: %1</source>
        <translation>Signals not saved: %1</translation>
    </message>
</context>
<context>
    <name>StatisticsModel</name>
    <message>
        <source>Новое</source>
        <translation>New</translation>
    </message>
    <message>
        <source>да</source>
        <translation>yes</translation>
    </message>
</context>
<context>
    <name>StatisticsView</name>
    <message>
        <source>Только этот ID</source>
        <translation>This ID only</translation>
    </message>
    <message>
        <source>Показать все</source>
        <translation>Show all</translation>
    </message>
    <message>
        <source>Скрыть все</source>
        <translation>Hide all</translation>
    </message>
    <message>
        <source>Только новые</source>
        <translation>New only</translation>
    </message>
    <message>
        <source>Найти сигнал...</source>
        <translation>Find signal...</translation>
    </message>
</context>
<context>
    <name>StoreFile</name>
    <message>
        <source>нет каталога %1</source>
        <translation>no directory %1</translation>
    </message>
    <message>
        <source>нет места</source>
        <translation>no space left</translation>
    </message>
</context>
<context>
    <name>TableReader</name>
    <message>
        <source>таблицу Quorvex</source>
        <translation>a Quorvex table</translation>
    </message>
</context>
<context>
    <name>TarvixSource</name>
    <message>
        <source>модуль Tarvix не передаёт кадры CAN FD</source>
        <translation>the Tarvix module does not send CAN FD frames</translation>
    </message>
</context>
<context>
    <name>TextCaptureReader</name>
    <message>
        <source>ошибка чтения: %1</source>
        <translation>read error: %1</translation>
    </message>
    <message>
        <source>файл не похож на %1</source>
        <translation>the file does not look like %1</translation>
    </message>
    <message>
        <source>нечитаемые строки</source>
        <translation>unreadable lines</translation>
    </message>
</context>
<context>
    <name>TrcReader</name>
    <message>
        <source>трассу PEAK</source>
        <translation>a PEAK trace</translation>
    </message>
</context>
<context>
    <name>TriggerControl</name>
    <message>
        <source>Отметить</source>
        <translation>Mark</translation>
    </message>
    <message>
        <source>Триггеры и сервер ...</source>
        <translation>Triggers and server ...</translation>
    </message>
    <message>
        <source>адрес </source>
        <translation>address </translation>
    </message>
    <message>
        <source>Триггеры: </source>
        <translation>Triggers: </translation>
    </message>
    <message>
        <source> | socketcand: ошибка: </source>
        <translation> | socketcand: error: </translation>
    </message>
    <message>
        <source> | socketcand: %1, клиентов %2</source>
        <translation> | socketcand: %1, %2 clients</translation>
    </message>
</context>
<context>
    <name>TriggersDialog</name>
    <message>
        <source>Dialog</source>
        <translation>Dialog</translation>
    </message>
    <message>
        <source>Триггеры, по одному в строке (id=0x7E8/0x7FF data=037F/FFFF data@20=AA55 fd signal=ENGINE_RPM&gt;3000 lost manual pre=10 post=30 name=nrc):</source>
        <translation>Triggers, one per line (id=0x7E8/0x7FF data=037F/FFFF data@20=AA55 fd signal=ENGINE_RPM&gt;3000 lost manual pre=10 post=30 name=nrc):</translation>
    </message>
    <message>
        <source>Сервер socketcand</source>
        <translation>socketcand server</translation>
    </message>
    <message>
        <source>Адрес:порт</source>
        <translation>Address:port</translation>
    </message>
    <message>
        <source>Разрешить клиентам отправку</source>
        <translation>Allow clients to send</translation>
    </message>
    <message>
        <source>Сохранить</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>Выход</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Триггеры и сервер socketcand</source>
        <translation>Triggers and socketcand server</translation>
    </message>
    <message>
        <source>Клиентов не больше:</source>
        <translation>At most clients:</translation>
    </message>
    <message>
        <source>Закрыть клиента без open через, с:</source>
        <translation>Close a client without open after, s:</translation>
    </message>
    <message>
        <source>0: не закрывать</source>
        <translation>0: never close</translation>
    </message>
</context>
<context>
    <name>UnsavedRowsGuard</name>
    <message>
        <source>В журнале строк, которых нет ни в одном файле: %1.
Они не записывались, не сохранялись и не прочитаны из файла.
%2 и потерять их?</source>
        <translation>Rows in the log that are in no file: %1.
They were not recorded, not saved and not read from a file.
%2 and lose them?</translation>
    </message>
    <message>
        <source>Несохранённые строки</source>
        <translation>Unsaved rows</translation>
    </message>
</context>
<context>
    <name>WindowStatus</name>
    <message>
        <source>Старт программы</source>
        <translation>Program started</translation>
    </message>
    <message>
        <source>Статус: </source>
        <translation>Status: </translation>
    </message>
    <message>
        <source>Кадров/с: %1</source>
        <translation>Frames/s: %1</translation>
    </message>
    <message>
        <source> | Потеряно кадров: %1</source>
        <translation> | Frames lost: %1</translation>
    </message>
</context>
</TS>
