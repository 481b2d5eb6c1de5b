<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de">
<context>
    <name>BrushPopup</name>
    <message>
        <source>Brush size (%1 smaller, %2 larger)</source>
        <translation>Pinselgröße (%1 kleiner, %2 größer)</translation>
    </message>
    <message>
        <source>Edge hardness (%1 softer, %2 harder)</source>
        <translation>Kantenhärte (%1 weicher, %2 härter)</translation>
    </message>
    <message>
        <source>Strength of a stroke (%1 lower, %2 higher)</source>
        <translation>Stärke eines Strichs (%1 geringer, %2 höher)</translation>
    </message>
    <message>
        <source>Pen pressure sets strength</source>
        <translation>Stiftdruck bestimmt die Stärke</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Hardness</source>
        <translation>Härte</translation>
    </message>
    <message>
        <source>Strength</source>
        <translation>Stärke</translation>
    </message>
</context>
<context>
    <name>CanvasAccessible</name>
    <message>
        <source>Picture</source>
        <translation>Bild</translation>
    </message>
    <message>
        <source>No picture.</source>
        <translation>Kein Bild.</translation>
    </message>
    <message>
        <source>Paints from the black pencil sketch.</source>
        <translation>Malt aus der schwarzen Bleistiftskizze.</translation>
    </message>
    <message>
        <source>Paints from the colour pencil sketch.</source>
        <translation>Malt aus der Buntstiftskizze.</translation>
    </message>
    <message>
        <source>Paints from the photo.</source>
        <translation>Malt aus dem Foto.</translation>
    </message>
    <message>
        <source>Moves and zooms the picture.</source>
        <translation>Verschiebt und zoomt das Bild.</translation>
    </message>
    <message>
        <source>No tool.</source>
        <translation>Kein Werkzeug.</translation>
    </message>
    <message>
        <source>%1 Zoom %2 %.</source>
        <translation>%1 Zoom %2 %.</translation>
    </message>
</context>
<context>
    <name>CanvasView</name>
    <message>
        <source>Memory is running too low. Please turn off your iPhone by holding power button; then turn it on to free memory.</source>
        <translation>Der Speicher wird knapp. Bitte schalten Sie Ihr iPhone aus, indem Sie die Ein-/Aus-Taste gedrückt halten, und schalten Sie es dann wieder ein, um Speicher freizugeben.</translation>
    </message>
    <message>
        <source>No data in the working space.</source>
        <translation>Keine Daten im Arbeitsbereich.</translation>
    </message>
    <message>
        <source>Unsupported image format or image file.</source>
        <translation>Nicht unterstütztes Bildformat oder Bilddatei.</translation>
    </message>
    <message>
        <source>Start New Project With</source>
        <translation>Neues Projekt beginnen mit</translation>
    </message>
    <message>
        <source>Black Pencil Sketch</source>
        <translation>Schwarze Bleistiftskizze</translation>
    </message>
    <message>
        <source>Color Pencil Sketch</source>
        <translation>Buntstiftskizze</translation>
    </message>
    <message>
        <source>Original Picture</source>
        <translation>Originalbild</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>CharcolinoViewController</name>
    <message>
        <source>Menu</source>
        <translation>Menü</translation>
    </message>
    <message>
        <source>New Project</source>
        <translation>Neues Projekt</translation>
    </message>
    <message>
        <source>Save Project</source>
        <translation>Projekt speichern</translation>
    </message>
    <message>
        <source>Load Project</source>
        <translation>Projekt laden</translation>
    </message>
    <message>
        <source>Export to Photo Album</source>
        <translation>Ins Fotoalbum exportieren</translation>
    </message>
    <message>
        <source>Failed! No data in the current project.</source>
        <translation>Fehlgeschlagen! Das aktuelle Projekt enthält keine Daten.</translation>
    </message>
    <message>
        <source>Failed! Cannot load the project.</source>
        <translation>Fehlgeschlagen! Das Projekt kann nicht geladen werden.</translation>
    </message>
    <message>
        <source>Black</source>
        <translation>Schwarz</translation>
    </message>
    <message>
        <source>Color</source>
        <translation>Farbe</translation>
    </message>
    <message>
        <source>Photo</source>
        <translation>Foto</translation>
    </message>
    <message>
        <source>Move</source>
        <translation>Bewegen</translation>
    </message>
    <message>
        <source>Round</source>
        <translation>Rund</translation>
    </message>
    <message>
        <source>Square</source>
        <translation>Eckig</translation>
    </message>
    <message>
        <source>Failed! Cannot save the project in the folder %1: %2.</source>
        <translation>Fehlgeschlagen! Das Projekt kann nicht im Ordner %1 gespeichert werden: %2.</translation>
    </message>
    <message>
        <source>Replace Project</source>
        <translation>Projekt ersetzen</translation>
    </message>
    <message>
        <source>Slot %1 holds a project saved on %2. Replace it?</source>
        <translation>Speicherplatz %1 enthält ein Projekt vom %2. Ersetzen?</translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>Ersetzen</translation>
    </message>
    <message>
        <source>Saved to slot %1</source>
        <translation>In Speicherplatz %1 gespeichert</translation>
    </message>
    <message>
        <source>To paint, choose Black, Color or Photo (B, C, P)</source>
        <translation>Zum Malen Schwarz, Farbe oder Foto wählen (B, C, P)</translation>
    </message>
    <message>
        <source>Tool</source>
        <translation>Werkzeug</translation>
    </message>
    <message>
        <source>Brush size</source>
        <translation>Pinselgröße</translation>
    </message>
    <message>
        <source>Brush shape</source>
        <translation>Pinselform</translation>
    </message>
    <message>
        <source>New, save, load and export the project</source>
        <translation>Projekt neu anlegen, speichern, laden und exportieren</translation>
    </message>
    <message>
        <source>Main screen</source>
        <translation>Hauptbildschirm</translation>
    </message>
    <message>
        <source>Brush settings</source>
        <translation>Pinseleinstellungen</translation>
    </message>
    <message>
        <source>Brush: %1 pt, hardness %2 %, strength %3 %</source>
        <translation>Pinsel: %1 pt, Härte %2 %, Stärke %3 %</translation>
    </message>
    <message>
        <source>Brush size (%1 smaller, %2 larger)</source>
        <translation>Pinselgröße (%1 kleiner, %2 größer)</translation>
    </message>
    <message>
        <source>Menu (%1 closes it)</source>
        <translation>Menü (%1 schließt es)</translation>
    </message>
    <message>
        <source>Undo the last stroke</source>
        <translation>Letzten Strich rückgängig machen</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Wiederholen</translation>
    </message>
    <message>
        <source>The list of keys</source>
        <translation>Die Liste der Tasten</translation>
    </message>
    <message>
        <source>Exporting …</source>
        <translation>Exportieren …</translation>
    </message>
    <message>
        <source>Exported to %1</source>
        <translation>Exportiert nach %1</translation>
    </message>
    <message>
        <source>%1 at its own size: %2</source>
        <translation>%1 in eigener Größe: %2</translation>
    </message>
    <message>
        <source>Unsaved Strokes</source>
        <translation>Nicht gespeicherte Striche</translation>
    </message>
    <message>
        <source>The picture has strokes that are in no project slot. Discard them?</source>
        <translation>Das Bild enthält Striche, die in keinem Speicherplatz sind. Verwerfen?</translation>
    </message>
    <message>
        <source>Discard</source>
        <translation>Verwerfen</translation>
    </message>
    <message>
        <source>Exporting to %1 …</source>
        <translation>Exportieren nach %1 …</translation>
    </message>
    <message>
        <source>out of memory</source>
        <translation>Speicher erschöpft</translation>
    </message>
    <message>
        <source>Cannot export to %1: %2</source>
        <translation>Export nach %1 nicht möglich: %2</translation>
    </message>
    <message>
        <source>Images (%1)</source>
        <translation>Bilder (%1)</translation>
    </message>
    <message>
        <source>Only part of the photo could be read; the rest is left grey.
%1: %2</source>
        <translation>Das Foto konnte nur teilweise gelesen werden; der Rest bleibt grau.
%1: %2</translation>
    </message>
    <message>
        <source>Choose a Photo</source>
        <translation>Foto auswählen</translation>
    </message>
    <message>
        <source>Opening %1 …</source>
        <translation>%1 wird geöffnet …</translation>
    </message>
</context>
<context>
    <name>ErrorAlert</name>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>ExportDialog</name>
    <message>
        <source>Export As</source>
        <translation>Exportieren als</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>Browse…</source>
        <translation>Durchsuchen …</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Qualität</translation>
    </message>
    <message>
        <source>The photo&apos;s full size</source>
        <translation>Volle Größe des Fotos</translation>
    </message>
    <message>
        <source>The project&apos;s size</source>
        <translation>Größe des Projekts</translation>
    </message>
    <message>
        <source>Folder:</source>
        <translation>Ordner:</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Name:</translation>
    </message>
    <message>
        <source>Format:</source>
        <translation>Format:</translation>
    </message>
    <message>
        <source>Quality:</source>
        <translation>Qualität:</translation>
    </message>
    <message>
        <source>Size:</source>
        <translation>Größe:</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Exportieren</translation>
    </message>
    <message>
        <source>Export To</source>
        <translation>Exportieren nach</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>FileListViewController</name>
    <message>
        <source>Please select a project slot.</source>
        <translation>Bitte einen Speicherplatz auswählen.</translation>
    </message>
    <message>
        <source>No data in the selected project slot.</source>
        <translation>Der gewählte Speicherplatz enthält keine Daten.</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Load</source>
        <translation>Laden</translation>
    </message>
    <message>
        <source>Save Project</source>
        <translation>Projekt speichern</translation>
    </message>
    <message>
        <source>Load Project</source>
        <translation>Projekt laden</translation>
    </message>
</context>
<context>
    <name>KeysBox</name>
    <message>
        <source>Keys</source>
        <translation>Tasten</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>* Unsaved strokes</source>
        <translation>* Nicht gespeicherte Striche</translation>
    </message>
</context>
<context>
    <name>MenuHistoryRow</name>
    <message>
        <source>Undo</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Erneut</translation>
    </message>
    <message>
        <source>Keys</source>
        <translation>Tasten</translation>
    </message>
    <message>
        <source>List of keys</source>
        <translation>Liste der Tasten</translation>
    </message>
</context>
<context>
    <name>Question</name>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>ShortcutTable</name>
    <message>
        <source>Paint from the black pencil sketch</source>
        <translation>Aus der schwarzen Bleistiftskizze malen</translation>
    </message>
    <message>
        <source>Paint from the colour pencil sketch</source>
        <translation>Aus der Buntstiftskizze malen</translation>
    </message>
    <message>
        <source>Paint from the photo</source>
        <translation>Aus dem Foto malen</translation>
    </message>
    <message>
        <source>Move and zoom</source>
        <translation>Verschieben und zoomen</translation>
    </message>
    <message>
        <source>Smaller brush</source>
        <translation>Kleinerer Pinsel</translation>
    </message>
    <message>
        <source>Larger brush</source>
        <translation>Größerer Pinsel</translation>
    </message>
    <message>
        <source>Round or square brush</source>
        <translation>Runder oder eckiger Pinsel</translation>
    </message>
    <message>
        <source>Brush 10 % smaller</source>
        <translation>Pinsel 10 % kleiner</translation>
    </message>
    <message>
        <source>Brush 10 % larger</source>
        <translation>Pinsel 10 % größer</translation>
    </message>
    <message>
        <source>Softer edge</source>
        <translation>Weichere Kante</translation>
    </message>
    <message>
        <source>Harder edge</source>
        <translation>Härtere Kante</translation>
    </message>
    <message>
        <source>Lower strength (10 % less)</source>
        <translation>Geringere Stärke (10 % weniger)</translation>
    </message>
    <message>
        <source>Raise strength (10 % more)</source>
        <translation>Höhere Stärke (10 % mehr)</translation>
    </message>
    <message>
        <source>Hold to see what the brush reveals</source>
        <translation>Gedrückt halten, um zu sehen, was der Pinsel freilegt</translation>
    </message>
    <message>
        <source>New Project</source>
        <translation>Neues Projekt</translation>
    </message>
    <message>
        <source>Save Project</source>
        <translation>Projekt speichern</translation>
    </message>
    <message>
        <source>Load Project</source>
        <translation>Projekt laden</translation>
    </message>
    <message>
        <source>Export to Photo Album</source>
        <translation>Ins Fotoalbum exportieren</translation>
    </message>
    <message>
        <source>Export As: folder, name, format and size</source>
        <translation>Exportieren als: Ordner, Name, Format und Größe</translation>
    </message>
    <message>
        <source>Undo the last stroke</source>
        <translation>Letzten Strich rückgängig machen</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Wiederholen</translation>
    </message>
    <message>
        <source>Zoom in</source>
        <translation>Vergrößern</translation>
    </message>
    <message>
        <source>Zoom out</source>
        <translation>Verkleinern</translation>
    </message>
    <message>
        <source>Whole picture in view</source>
        <translation>Ganzes Bild anzeigen</translation>
    </message>
    <message>
        <source>Close the menu</source>
        <translation>Menü schließen</translation>
    </message>
    <message>
        <source>This list of keys</source>
        <translation>Diese Liste der Tasten</translation>
    </message>
</context>
<context>
    <name>ShowInFolderButton</name>
    <message>
        <source>Show in folder</source>
        <translation>Im Ordner zeigen</translation>
    </message>
</context>
<context>
    <name>SingleInstance</name>
    <message>
        <source> (process %1 on %2)</source>
        <translation> (Prozess %1 auf %2)</translation>
    </message>
    <message>
        <source>Charcolino is already running on %1%2 but does not answer: %3</source>
        <translation>Charcolino läuft bereits auf %1%2, antwortet aber nicht: %3</translation>
    </message>
</context>
<context>
    <name>SlotListModel</name>
    <message>
        <source>Slot %1: %2</source>
        <translation>Speicherplatz %1: %2</translation>
    </message>
    <message>
        <source>Empty</source>
        <translation>Leer</translation>
    </message>
</context>
</TS>
