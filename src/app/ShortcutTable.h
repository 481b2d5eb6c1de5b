#pragma once

#include <QCoreApplication>
#include <QKeySequence>
#include <QList>
#include <QString>

// The keyboard commands of the main screen and their keys, in the order the key
// list shows them. Standard keys (New, Open, Save, Undo, Redo, Cancel, Help) come
// from the platform's bindings, with the keys this program documents added where
// the platform names others, so every documented key works everywhere.
class ShortcutTable {
    Q_DECLARE_TR_FUNCTIONS(ShortcutTable)

public:
    enum Command {
        Black,
        Color,
        Photo,
        Move,
        SmallerBrush,
        LargerBrush,
        ToggleShape,
        SmallerRadius,
        LargerRadius,
        SofterBrush,
        HarderBrush,
        WeakerStroke,
        StrongerStroke,
        Peek,
        NewProject,
        SaveProject,
        LoadProject,
        Export,
        ExportAs,
        Undo,
        Redo,
        ZoomIn,
        ZoomOut,
        ZoomToFit,
        CloseMenu,
        ShowKeys,
    };

    struct Entry {
        Command command;
        QString description;
        QList<QKeySequence> keys;
    };

    static const QList<Entry>& entries();
    // Whether the command is held rather than pressed (Peek: while its key is
    // down), so it has no action of its own; the window reads its key.
    static bool isHeld(Command command) { return command == Peek; }
    static QList<QKeySequence> keys(Command command);
    // The keys as people read them, e.g. "Ctrl+Shift+Z, Ctrl+Y".
    static QString keyText(Command command);
    // The keys that common keyboards have, as above: F13 and beyond still work
    // but are not listed.
    static QString listedKeyText(const QList<QKeySequence>& keys);
    static bool isOnCommonKeyboards(const QKeySequence& key);
    // "text (keys)", for tooltips.
    static QString withKeys(const QString& text, Command command);
    // A rich-text table, one row per command: its keys, then what it does.
    static QString helpText();
};
