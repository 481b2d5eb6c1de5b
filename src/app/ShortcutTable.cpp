#include "app/ShortcutTable.h"

#include <QStringList>

namespace {

QList<QKeySequence> merged(QKeySequence::StandardKey standard, const QStringList& documented)
{
    QList<QKeySequence> keys;
    for (const QString& text : documented)
        keys << QKeySequence(text, QKeySequence::PortableText);
    for (const QKeySequence& key : QKeySequence::keyBindings(standard))
        if (!key.isEmpty() && !keys.contains(key))
            keys << key;
    return keys;
}

QList<QKeySequence> plain(const QStringList& documented)
{
    QList<QKeySequence> keys;
    for (const QString& text : documented)
        keys << QKeySequence(text, QKeySequence::PortableText);
    return keys;
}

QList<ShortcutTable::Entry> makeEntries()
{
    using T = ShortcutTable;
    return {
        {T::Black, ShortcutTable::tr("Paint from the black pencil sketch"), plain({"B"})},
        {T::Color, ShortcutTable::tr("Paint from the colour pencil sketch"), plain({"C"})},
        {T::Photo, ShortcutTable::tr("Paint from the photo"), plain({"P"})},
        {T::Move, ShortcutTable::tr("Move and zoom"), plain({"M"})},
        {T::SmallerBrush, ShortcutTable::tr("Smaller brush"), plain({"["})},
        {T::LargerBrush, ShortcutTable::tr("Larger brush"), plain({"]"})},
        {T::ToggleShape, ShortcutTable::tr("Round or square brush"), plain({"X"})},
        {T::SmallerRadius, ShortcutTable::tr("Brush 10 % smaller"), plain({"Ctrl+["})},
        {T::LargerRadius, ShortcutTable::tr("Brush 10 % larger"), plain({"Ctrl+]"})},
        {T::SofterBrush, ShortcutTable::tr("Softer edge"), plain({"Shift+["})},
        {T::HarderBrush, ShortcutTable::tr("Harder edge"), plain({"Shift+]"})},
        {T::WeakerStroke, ShortcutTable::tr("Lower strength (10 % less)"), plain({"I"})},
        {T::StrongerStroke, ShortcutTable::tr("Raise strength (10 % more)"), plain({"O"})},
        {T::Peek, ShortcutTable::tr("Hold to see what the brush reveals"), plain({"V"})},
        {T::NewProject, ShortcutTable::tr("New Project"), merged(QKeySequence::New, {"Ctrl+N"})},
        {T::SaveProject, ShortcutTable::tr("Save Project"), merged(QKeySequence::Save, {"Ctrl+S"})},
        {T::LoadProject, ShortcutTable::tr("Load Project"), merged(QKeySequence::Open, {"Ctrl+O"})},
        {T::Export, ShortcutTable::tr("Export to Photo Album"), plain({"Ctrl+E"})},
        {T::ExportAs, ShortcutTable::tr("Export As: folder, name, format and size"), plain({"Ctrl+Shift+E"})},
        {T::Undo, ShortcutTable::tr("Undo the last stroke"), merged(QKeySequence::Undo, {"Ctrl+Z"})},
        {T::Redo, ShortcutTable::tr("Redo"), merged(QKeySequence::Redo, {"Ctrl+Shift+Z", "Ctrl+Y"})},
        {T::ZoomIn, ShortcutTable::tr("Zoom in"), merged(QKeySequence::ZoomIn, {"+", "="})},
        {T::ZoomOut, ShortcutTable::tr("Zoom out"), merged(QKeySequence::ZoomOut, {"-"})},
        {T::ZoomToFit, ShortcutTable::tr("Whole picture in view"), plain({"0"})},
        {T::CloseMenu, ShortcutTable::tr("Close the menu"), merged(QKeySequence::Cancel, {"Esc"})},
        {T::ShowKeys, ShortcutTable::tr("This list of keys"), merged(QKeySequence::HelpContents, {"F1", "?"})},
    };
}

}  // namespace

const QList<ShortcutTable::Entry>& ShortcutTable::entries()
{
    static const QList<Entry> table = makeEntries();
    return table;
}

QList<QKeySequence> ShortcutTable::keys(Command command)
{
    for (const Entry& entry : entries())
        if (entry.command == command)
            return entry.keys;
    return {};
}

QString ShortcutTable::keyText(Command command)
{
    return listedKeyText(keys(command));
}

QString ShortcutTable::listedKeyText(const QList<QKeySequence>& keys)
{
    QStringList texts;
    for (const QKeySequence& key : keys)
        if (isOnCommonKeyboards(key))
            texts << key.toString(QKeySequence::NativeText);
    return texts.join(QStringLiteral(", "));
}

bool ShortcutTable::isOnCommonKeyboards(const QKeySequence& key)
{
    // X binds Undo, Copy and others to F14, F16 ... of old workstation keyboards too.
    const int k = key.isEmpty() ? 0 : int(key[0].key());
    return !(k >= Qt::Key_F13 && k <= Qt::Key_F35);
}

QString ShortcutTable::withKeys(const QString& text, Command command)
{
    return QStringLiteral("%1 (%2)").arg(text, keyText(command));
}

QString ShortcutTable::helpText()
{
    QString rows;
    for (const Entry& entry : entries())
        rows += QStringLiteral("<tr><td><b>%1</b></td><td>&nbsp;&nbsp;%2</td></tr>")
                    .arg(keyText(entry.command).toHtmlEscaped(), entry.description.toHtmlEscaped());
    return QStringLiteral("<table>%1</table>").arg(rows);
}
