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
        {T::Black, QStringLiteral("Paint from the black pencil sketch"), plain({"B"})},
        {T::Color, QStringLiteral("Paint from the colour pencil sketch"), plain({"C"})},
        {T::Photo, QStringLiteral("Paint from the photo"), plain({"P"})},
        {T::Move, QStringLiteral("Move and zoom"), plain({"M"})},
        {T::SmallerBrush, QStringLiteral("Smaller brush"), plain({"["})},
        {T::LargerBrush, QStringLiteral("Larger brush"), plain({"]"})},
        {T::ToggleShape, QStringLiteral("Round or square brush"), plain({"X"})},
        {T::SmallerRadius, QStringLiteral("Brush 10 % smaller"), plain({"Ctrl+["})},
        {T::LargerRadius, QStringLiteral("Brush 10 % larger"), plain({"Ctrl+]"})},
        {T::SofterBrush, QStringLiteral("Softer edge"), plain({"Shift+["})},
        {T::HarderBrush, QStringLiteral("Harder edge"), plain({"Shift+]"})},
        {T::WeakerStroke, QStringLiteral("Lower strength (10 % less)"), plain({"I"})},
        {T::StrongerStroke, QStringLiteral("Raise strength (10 % more)"), plain({"O"})},
        {T::Peek, QStringLiteral("Hold to see what the brush reveals"), plain({"V"})},
        {T::NewProject, QStringLiteral("New Project"), merged(QKeySequence::New, {"Ctrl+N"})},
        {T::SaveProject, QStringLiteral("Save Project"), merged(QKeySequence::Save, {"Ctrl+S"})},
        {T::LoadProject, QStringLiteral("Load Project"), merged(QKeySequence::Open, {"Ctrl+O"})},
        {T::Export, QStringLiteral("Export to Photo Album"), plain({"Ctrl+E"})},
        {T::ExportAs, QStringLiteral("Export As: folder, name, format and size"), plain({"Ctrl+Shift+E"})},
        {T::Undo, QStringLiteral("Undo the last stroke"), merged(QKeySequence::Undo, {"Ctrl+Z"})},
        {T::Redo, QStringLiteral("Redo"), merged(QKeySequence::Redo, {"Ctrl+Shift+Z", "Ctrl+Y"})},
        {T::ZoomIn, QStringLiteral("Zoom in"), merged(QKeySequence::ZoomIn, {"+", "="})},
        {T::ZoomOut, QStringLiteral("Zoom out"), merged(QKeySequence::ZoomOut, {"-"})},
        {T::ZoomToFit, QStringLiteral("Whole picture in view"), plain({"0"})},
        {T::CloseMenu, QStringLiteral("Close the menu"), merged(QKeySequence::Cancel, {"Esc"})},
        {T::ShowKeys, QStringLiteral("This list of keys"), merged(QKeySequence::HelpContents, {"F1", "?"})},
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
