// SPDX-License-Identifier: GPL-3.0-or-later
#include "storage/parameter_file.h"

#include "protocol/parameter_codec.h"
#include "protocol/set_panel_entries.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QStringDecoder>

namespace {

const QString formatLinePrefix = QStringLiteral("# rotor parameter set, format ");
const QString setSection = QStringLiteral("parameters set");
const QString readingSection = QStringLiteral("box reading");
const QString savedKey = QStringLiteral("saved");
const QString readKey = QStringLiteral("read");
const QString firmwareKey = QStringLiteral("firmware");
const QString blockKey = QStringLiteral("block");
constexpr qsizetype blockFields = blockField::count;

// The "PARAMETERS READ" panel's fields, in the block's order: the keys that record what a reading
// showed. Only informational; the block they follow from is what counts.
constexpr Field readPanelFields[] = {
    Field::curr_pos,          Field::cbox_status,    Field::mode_msg,          Field::read_lower_limit,
    Field::read_upper_limit,  Field::read_inv_delay, Field::pwm_msg,           Field::read_pwm_period,
    Field::read_pwm_max_duty, Field::read_ramp,      Field::read_pwm_min_duty, Field::optimize_msg,
    Field::read_pres_delay,   Field::offset_read,    Field::mot_check_msg,     Field::check_angle,
    Field::read_rot_timeout,  Field::dipsw,          Field::cal_fact,
};

using Kind = SetPanelEntry::Kind;

QString keyOf(const SetPanelEntry& entry) { return QLatin1String(entry.key); }

// The set-panel keys in Set Default's order, each once.
const QStringList& setKeys()
{
    static const QStringList keys = [] {
        QStringList list;
        for (const SetPanelEntry& entry : setPanelEntries)
            if (!list.contains(keyOf(entry)))
                list.append(keyOf(entry));
        return list;
    }();
    return keys;
}

const QStringList& readingKeys()
{
    static const QStringList keys = [] {
        QStringList list{readKey, firmwareKey, blockKey};
        for (Field field : readPanelFields)
            list.append(fieldName(field));
        return list;
    }();
    return keys;
}

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }
bool isControl(QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; }

QString trimBlanks(QStringView text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.mid(begin, end - begin).toString();
}

// A text for a message, cut short when long, so that a damaged line never floods the message box.
QString elide(const QString& text)
{
    constexpr qsizetype longest = 40;
    return text.size() > longest ? text.left(longest) + QStringLiteral("\u2026") : text;
}

QString quote(const QString& text) { return QLatin1Char('"') + elide(text) + QLatin1Char('"'); }

// --- Writing values ---

bool needsQuotes(const QString& value, bool inList)
{
    if (value.isEmpty())
        return false;
    if (isBlank(value.front()) || isBlank(value.back()) || value.front() == QLatin1Char('"'))
        return true;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (isControl(c) || (inList && c == QLatin1Char(',')))
            return true;
        // A lone half of a surrogate pair has no UTF-8 form: only an escape keeps it.
        if (c.isHighSurrogate() && i + 1 < value.size() && value[i + 1].isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return true;
    }
    return false;
}

QString quoted(const QString& value)
{
    QString out = QStringLiteral("\"");
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        switch (c.unicode()) {
        case '\\': out += QLatin1String("\\\\"); continue;
        case '"': out += QLatin1String("\\\""); continue;
        case '\n': out += QLatin1String("\\n"); continue;
        case '\r': out += QLatin1String("\\r"); continue;
        case '\t': out += QLatin1String("\\t"); continue;
        default: break;
        }
        if (c.isHighSurrogate() && i + 1 < value.size() && value[i + 1].isLowSurrogate()) {
            out += c;
            out += value[++i];
        } else if (isControl(c) || c.isSurrogate()) {
            out += QStringLiteral("\\u") + QStringLiteral("%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
        } else {
            out += c;
        }
    }
    return out + QLatin1Char('"');
}

QString encodeValue(const QString& value, bool inList = false)
{
    return needsQuotes(value, inList) ? quoted(value) : value;
}

QString dateText(const QDateTime& when) { return when.toOffsetFromUtc(when.offsetFromUtc()).toString(Qt::ISODate); }

// --- Reading values ---

// Reads the values of one line: a single value, or the comma-separated fields of the block.
class ValueReader {
public:
    explicit ValueReader(const QString& text) : m_text(text) {}

    std::optional<QString> value()
    {
        const QString trimmed = trimBlanks(m_text);
        if (!trimmed.startsWith(QLatin1Char('"')))
            return trimmed;
        ValueReader inner(trimmed);
        inner.m_pos = 1;
        std::optional<QString> v = inner.quotedRest();
        if (!v) {
            m_error = inner.m_error;
            return std::nullopt;
        }
        if (inner.m_pos != trimmed.size()) {
            m_error = QStringLiteral("there is text after the closing quote; put the whole value between the quotes");
            return std::nullopt;
        }
        return v;
    }

    std::optional<QStringList> list()
    {
        QStringList items;
        for (;;) {
            skipBlanks();
            if (m_pos < m_text.size() && m_text[m_pos] == QLatin1Char('"')) {
                ++m_pos;
                std::optional<QString> item = quotedRest();
                if (!item)
                    return std::nullopt;
                items.append(*item);
                skipBlanks();
            } else {
                const qsizetype start = m_pos;
                while (m_pos < m_text.size() && m_text[m_pos] != QLatin1Char(','))
                    ++m_pos;
                items.append(trimBlanks(QStringView(m_text).mid(start, m_pos - start)));
            }
            if (m_pos == m_text.size())
                return items;
            if (m_text[m_pos] != QLatin1Char(',')) {
                m_error = QStringLiteral("a quoted field must be followed by a comma or end the line");
                return std::nullopt;
            }
            ++m_pos;
        }
    }

    const QString& error() const { return m_error; }

private:
    void skipBlanks()
    {
        while (m_pos < m_text.size() && isBlank(m_text[m_pos]))
            ++m_pos;
    }

    // The rest of a quoted text after its opening quote, up to and past the closing one.
    std::optional<QString> quotedRest()
    {
        QString out;
        while (m_pos < m_text.size()) {
            const QChar c = m_text[m_pos++];
            if (c == QLatin1Char('"'))
                return out;
            if (c != QLatin1Char('\\')) {
                out += c;
                continue;
            }
            if (m_pos == m_text.size())
                break;
            const QChar e = m_text[m_pos++];
            switch (e.unicode()) {
            case '\\': out += QLatin1Char('\\'); break;
            case '"': out += QLatin1Char('"'); break;
            case 'n': out += QLatin1Char('\n'); break;
            case 'r': out += QLatin1Char('\r'); break;
            case 't': out += QLatin1Char('\t'); break;
            case 'u': {
                bool ok = false;
                const QString hex = m_text.mid(m_pos, 4);
                static const QRegularExpression fourHex(QStringLiteral("^[0-9A-Fa-f]{4}$"));
                const ushort code = fourHex.match(hex).hasMatch() ? hex.toUShort(&ok, 16) : 0;
                if (!ok) {
                    m_error = QStringLiteral("\\u must be followed by four hexadecimal digits");
                    return std::nullopt;
                }
                out += QChar(code);
                m_pos += 4;
                break;
            }
            default:
                m_error = QStringLiteral("\\%1 is not an escape; write \\\\ for a backslash").arg(e);
                return std::nullopt;
            }
        }
        m_error = QStringLiteral("the quoted value has no closing quote; a value ends with its line");
        return std::nullopt;
    }

    const QString& m_text;
    qsizetype m_pos = 0;
    QString m_error;
};

// --- Reading the file ---

class FileReader {
public:
    std::variant<ParameterFile, ParameterFileError> read(const QByteArray& contents);

private:
    std::optional<ParameterFileError> line(const QString& text);
    std::optional<ParameterFileError> entry(const QString& key, const QString& rest);
    std::optional<ParameterFileError> missing();
    ParameterFileError at(const QString& text) const { return ParameterFileError{m_line, text}; }

    int m_line = 0;
    QString m_section;  // empty before the first section
    QHash<QString, int> m_sections;
    QHash<QString, QHash<QString, int>> m_keys;  // per section: key -> its line
    ParameterFile m_file;
    BoxReading m_reading;
};

std::variant<ParameterFile, ParameterFileError> FileReader::read(const QByteArray& contents)
{
    if (contents.size() > parameterFileMaxSize)
        return ParameterFileError{0,
                                  QStringLiteral("The file is larger than 64 KiB, far more than a parameter set: it is "
                                                 "not one. Choose a file saved with File > Save parameters.")};
    if (contents.isEmpty())
        return ParameterFileError{0, QStringLiteral("The file is empty: it holds no parameter set. Choose a file saved "
                                                    "with File > Save parameters.")};
    QByteArray data = contents;
    if (data.startsWith("\xEF\xBB\xBF"))  // a byte-order mark some editors put first
        data.remove(0, 3);
    QList<QByteArray> lines = data.split('\n');
    if (data.endsWith('\n'))
        lines.removeLast();

    for (const QByteArray& bytes : lines) {
        ++m_line;
        const QByteArray raw = bytes.endsWith('\r') ? bytes.chopped(1) : bytes;
        if (raw.contains('\0'))
            return at(QStringLiteral("the file is damaged or not text: it holds a NUL byte. Choose a file saved with "
                                     "File > Save parameters."));
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString text = decoder(raw);
        if (decoder.hasError())
            return at(QStringLiteral("the file is damaged or not text: this line is not valid UTF-8. Choose a file "
                                     "saved with File > Save parameters."));
        for (QChar c : text)
            if (isControl(c) && c != QLatin1Char('\t'))
                return at(QStringLiteral("the file is damaged or not text: this line holds the control character %1. "
                                         "Choose a file saved with File > Save parameters.")
                              .arg(c.unicode()));
        if (auto error = line(text))
            return *error;
    }
    if (auto error = missing())
        return *error;
    if (m_sections.contains(readingSection))
        m_file.reading = m_reading;
    return m_file;
}

std::optional<ParameterFileError> FileReader::line(const QString& text)
{
    if (m_line == 1) {
        static const QRegularExpression formatLine(QStringLiteral("^# rotor parameter set, format ([0-9]+)$"));
        const auto match = formatLine.match(text);
        const QString format = match.captured(1);
        if (format == QString::number(parameterFileFormat))
            return std::nullopt;
        static const QRegularExpression number(QStringLiteral("^[1-9][0-9]*$"));
        if (match.hasMatch() && number.match(format).hasMatch())
            return at(QStringLiteral("the file is in format %1, written by a later version of rotor; this version "
                                     "reads format %2. Open it with a newer rotor.")
                          .arg(elide(format))
                          .arg(parameterFileFormat));
        return at(QStringLiteral("this is not a rotor parameter set: such a file begins with the line \"%1%2\". "
                                 "Choose a file saved with File > Save parameters.")
                      .arg(formatLinePrefix)
                      .arg(parameterFileFormat));
    }

    const QString trimmed = trimBlanks(text);
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
        return std::nullopt;
    if (trimmed.startsWith(QLatin1Char('['))) {
        if (!trimmed.endsWith(QLatin1Char(']')) || trimmed.size() < 2)
            return at(QStringLiteral("a section's name must end with \"]\", as in [%1].").arg(setSection));
        const QString name = trimBlanks(QStringView(trimmed).mid(1, trimmed.size() - 2));
        if (name != setSection && name != readingSection)
            return at(QStringLiteral("unknown section [%1]; a parameter set has the sections [%2] and [%3].")
                          .arg(elide(name), setSection, readingSection));
        if (m_sections.contains(name))
            return at(QStringLiteral("the section [%1] comes a second time (first on line %2). Keep one of them.")
                          .arg(name)
                          .arg(m_sections.value(name)));
        m_sections.insert(name, m_line);
        m_section = name;
        return std::nullopt;
    }
    const qsizetype eq = trimmed.indexOf(QLatin1Char('='));
    const QString key = eq < 0 ? QString() : trimBlanks(QStringView(trimmed).left(eq));
    if (key.isEmpty())
        return at(QStringLiteral("%1 is not a line of a parameter set: write key = value, a [section], or a comment "
                                 "starting with #.")
                      .arg(quote(trimmed)));
    return entry(key, trimmed.mid(eq + 1));
}

std::optional<ParameterFileError> FileReader::entry(const QString& key, const QString& rest)
{
    const QStringList& known = m_section == setSection       ? setKeys()
                               : m_section == readingSection ? readingKeys()
                                                             : QStringList{savedKey};
    const QString where =
        m_section.isEmpty() ? QStringLiteral("before the first section") : QStringLiteral("in [%1]").arg(m_section);
    if (!known.contains(key))
        return at(QStringLiteral("unknown key %1 %2. The keys there are: %3.")
                      .arg(quote(key), where, known.join(QStringLiteral(", "))));
    QHash<QString, int>& seen = m_keys[m_section];
    if (seen.contains(key))
        return at(QStringLiteral("%1 is given a second time %2 (first on line %3). Keep one of the two lines.")
                      .arg(quote(key), where)
                      .arg(seen.value(key)));
    seen.insert(key, m_line);

    ValueReader reader(rest);
    if (key == blockKey) {
        const std::optional<QStringList> fields = reader.list();
        if (!fields)
            return at(QStringLiteral("the value of \"block\": %1.").arg(reader.error()));
        if (fields->size() != blockFields)
            return at(
                QStringLiteral("\"block\" must hold the 19 fields of the parameter block separated by commas, not %1.")
                    .arg(fields->size()));
        m_reading.block = *fields;
        return std::nullopt;
    }
    const std::optional<QString> value = reader.value();
    if (!value)
        return at(QStringLiteral("the value of %1: %2.").arg(quote(key), reader.error()));

    if (key == savedKey || key == readKey) {
        // The one ISO 8601 form the writer uses (seconds, an optional fraction, the offset or Z,
        // or none for local time): nothing that would read back differently once written again.
        static const QRegularExpression dateForm(
            QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d(\\.\\d{1,3})?(Z|[+-]\\d\\d:\\d\\d)?$"));
        const QDateTime when =
            dateForm.match(*value).hasMatch() ? QDateTime::fromString(*value, Qt::ISODate) : QDateTime();
        if (!when.isValid())
            return at(QStringLiteral("%1 must be a date and time such as 2026-12-07T15:32:04+01:00, not %2.")
                          .arg(quote(key), quote(*value)));
        (key == savedKey ? m_file.saved : m_reading.read) = when;
        return std::nullopt;
    }
    if (key == firmwareKey) {
        m_reading.firmware = *value;
        return std::nullopt;
    }
    if (m_section == readingSection)  // what a field showed: it follows from the block
        return std::nullopt;

    PanelState& panel = m_file.panel;
    for (const SetPanelEntry& entry : setPanelEntries) {
        if (keyOf(entry) != key)
            continue;
        if (entry.kind == Kind::StopOption) {  // one key for both options
            if (*value != QLatin1String("north") && *value != QLatin1String("south") && *value != QLatin1String("none"))
                return at(QStringLiteral("%1 must be north, south or none, not %2.").arg(quote(key), quote(*value)));
            panel.northStop = *value == QLatin1String("north");
            panel.southStop = *value == QLatin1String("south");
            return std::nullopt;
        }
        if (entry.kind == Kind::Text) {
            // Nothing that typing into the entry could not give.
            if (value->size() > setPanelEntryMaxLength)
                return at(QStringLiteral("the value of %1 is %2 characters long; an entry of the PARAMETERS SET panel "
                                         "holds at most %3.")
                              .arg(quote(key))
                              .arg(value->size())
                              .arg(setPanelEntryMaxLength));
            if (const std::optional<QChar> c = controlCharacterIn(*value))
                return at(QStringLiteral("the value of %1 holds the control character %2, which an entry of the "
                                         "PARAMETERS SET panel cannot hold.")
                              .arg(quote(key))
                              .arg(c->unicode()));
            panel.*entry.text = *value;
        } else {
            if (*value != QLatin1String("on") && *value != QLatin1String("off"))
                return at(QStringLiteral("the check box %1 must be on or off, not %2.").arg(quote(key), quote(*value)));
            panel.*entry.checked = *value == QLatin1String("on");
        }
    }
    return std::nullopt;
}

std::optional<ParameterFileError> FileReader::missing()
{
    if (!m_sections.contains(setSection))
        return at(QStringLiteral("the file ends without a [%1] section: it holds no parameter set. Choose a file "
                                 "saved with File > Save parameters.")
                      .arg(setSection));
    const auto lacks = [this](const QString& section, const QStringList& keys) -> std::optional<ParameterFileError> {
        for (const QString& key : keys)
            if (!m_keys.value(section).contains(key))
                return at(QStringLiteral("the file ends without a line for \"%1\" in [%2]; it may have been cut short. "
                                         "Add the line, or choose a complete file.")
                              .arg(key, section));
        return std::nullopt;
    };
    if (auto error = lacks(setSection, setKeys()))
        return error;
    if (m_sections.contains(readingSection))
        return lacks(readingSection, {readKey, blockKey});
    return std::nullopt;
}

}  // namespace

QString ParameterFileError::message() const
{
    return line > 0 ? QStringLiteral("Line %1: %2").arg(QString::number(line), text) : text;
}

QByteArray writeParameterFile(const ParameterFile& file)
{
    QString out = formatLinePrefix + QString::number(parameterFileFormat) + QLatin1Char('\n');
    out += QStringLiteral("# The PARAMETERS SET panel of rotor: what \"cmd W\" writes to the CBOX. Load it with\n"
                          "# File > Load parameters. Check boxes are on or off; the stop is north, south or none.\n");
    if (file.saved.isValid())
        out += savedKey + QStringLiteral(" = ") + dateText(file.saved) + QLatin1Char('\n');

    out += QStringLiteral("\n[") + setSection + QStringLiteral("]\n");
    for (const auto& [key, value] : parameterSetValues(file.panel)) {
        const QString encoded = encodeValue(value);
        out += key + QStringLiteral(" =") + (encoded.isEmpty() ? QString() : QLatin1Char(' ') + encoded)
               + QLatin1Char('\n');
    }

    if (file.reading) {
        const BoxReading& reading = *file.reading;
        out += QStringLiteral("\n[") + readingSection + QStringLiteral("]\n");
        out += QStringLiteral("# What the CBOX held when rotor read it: the block as received and as the\n"
                              "# PARAMETERS READ panel showed it. Loading does not use this section.\n");
        if (reading.read.isValid())
            out += readKey + QStringLiteral(" = ") + dateText(reading.read) + QLatin1Char('\n');
        if (!reading.firmware.isEmpty())
            out += firmwareKey + QStringLiteral(" = ") + encodeValue(reading.firmware) + QLatin1Char('\n');
        QStringList fields;
        for (const QString& field : reading.block)
            fields.append(encodeValue(field, true));
        out += blockKey + QStringLiteral(" = ") + fields.join(QLatin1Char(',')) + QLatin1Char('\n');
        for (const auto& [field, text] : shownFromBlock(reading.block))
            out += fieldName(field) + QStringLiteral(" = ") + encodeValue(text) + QLatin1Char('\n');
    }
    return out.toUtf8();
}

std::variant<ParameterFile, ParameterFileError> readParameterFile(const QByteArray& contents)
{
    return FileReader().read(contents);
}

std::variant<ParameterFile, QString> loadParameterFile(const QString& path)
{
    // A FIFO or a device would hold the program up waiting for data: only a regular file (links
    // followed) is opened.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return QStringLiteral("The file cannot be read: it is not a regular file but %1.")
            .arg(info.isDir() ? QStringLiteral("a folder") : QStringLiteral("a FIFO, socket or device"));
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return QStringLiteral("The file cannot be read: %1.").arg(in.errorString());
    // Never more than a parameter file can be: the reader refuses what goes beyond.
    const QByteArray contents = in.read(parameterFileMaxSize + 1);
    if (in.error() != QFileDevice::NoError)
        return QStringLiteral("The file cannot be read: %1.").arg(in.errorString());
    auto result = readParameterFile(contents);
    if (const auto* error = std::get_if<ParameterFileError>(&result))
        return error->message();
    return std::get<ParameterFile>(std::move(result));
}

QList<std::pair<QString, QString>> parameterSetValues(const PanelState& panel)
{
    QList<std::pair<QString, QString>> values;
    for (const SetPanelEntry& entry : setPanelEntries) {
        QString value;
        switch (entry.kind) {
        case Kind::Text: value = panel.*entry.text; break;
        case Kind::CheckBox: value = QLatin1String(panel.*entry.checked ? "on" : "off"); break;
        case Kind::StopOption:
            if (entry.field != Field::south_stop)  // one key for both options
                continue;
            // North wins when both are on, as in the write.
            value = QLatin1String(panel.northStop ? "north" : panel.southStop ? "south" : "none");
            break;
        }
        values.append({keyOf(entry), value});
    }
    return values;
}

PanelState panelFromBlock(const QStringList& block)
{
    PanelState panel;
    ParameterFormatter formatter;
    for (int number = 1; number <= blockFields; ++number) {
        for (const PanelChange& change : formatter.format(number, block.value(number - 1)).panel) {
            for (const SetPanelEntry& entry : setPanelEntries) {
                if (entry.field != change.field)
                    continue;
                if (change.text && entry.text)
                    panel.*entry.text = *change.text;
                if (change.checked && entry.checked)
                    panel.*entry.checked = *change.checked;
            }
        }
    }
    return panel;
}

QList<std::pair<Field, QString>> shownFromBlock(const QStringList& block)
{
    QList<std::pair<Field, QString>> shown;
    ParameterFormatter formatter;
    for (int number = 1; number <= blockFields; ++number)
        for (const FieldChange& change : formatter.format(number, block.value(number - 1)).window)
            if (change.text)
                shown.append({change.field, *change.text});
    return shown;
}

bool sameConfiguration(const QStringList& a, const QStringList& b)
{
    return a.size() == blockFields && b.size() == blockFields
           && a.mid(blockField::stopMode - 1) == b.mid(blockField::stopMode - 1);
}
