<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es">
<context>
    <name>BrushPopup</name>
    <message>
        <source>Brush size (%1 smaller, %2 larger)</source>
        <translation>Tamaño del pincel (%1 más pequeño, %2 más grande)</translation>
    </message>
    <message>
        <source>Edge hardness (%1 softer, %2 harder)</source>
        <translation>Dureza del borde (%1 más suave, %2 más duro)</translation>
    </message>
    <message>
        <source>Strength of a stroke (%1 lower, %2 higher)</source>
        <translation>Intensidad de un trazo (%1 menos, %2 más)</translation>
    </message>
    <message>
        <source>Pen pressure sets strength</source>
        <translation>La presión del lápiz fija la intensidad</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Tamaño</translation>
    </message>
    <message>
        <source>Hardness</source>
        <translation>Dureza</translation>
    </message>
    <message>
        <source>Strength</source>
        <translation>Intensidad</translation>
    </message>
</context>
<context>
    <name>CanvasAccessible</name>
    <message>
        <source>Picture</source>
        <translation>Imagen</translation>
    </message>
    <message>
        <source>No picture.</source>
        <translation>No hay imagen.</translation>
    </message>
    <message>
        <source>Paints from the black pencil sketch.</source>
        <translation>Pinta a partir del boceto a lápiz negro.</translation>
    </message>
    <message>
        <source>Paints from the colour pencil sketch.</source>
        <translation>Pinta a partir del boceto a lápices de colores.</translation>
    </message>
    <message>
        <source>Paints from the photo.</source>
        <translation>Pinta a partir de la foto.</translation>
    </message>
    <message>
        <source>Moves and zooms the picture.</source>
        <translation>Mueve y amplía la imagen.</translation>
    </message>
    <message>
        <source>No tool.</source>
        <translation>Ninguna herramienta.</translation>
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
        <translation>Queda muy poca memoria. Apaga el iPhone manteniendo pulsado el botón de encendido y vuelve a encenderlo para liberar memoria.</translation>
    </message>
    <message>
        <source>No data in the working space.</source>
        <translation>No hay datos en el espacio de trabajo.</translation>
    </message>
    <message>
        <source>Unsupported image format or image file.</source>
        <translation>Formato o archivo de imagen no compatible.</translation>
    </message>
    <message>
        <source>Start New Project With</source>
        <translation>Empezar un nuevo proyecto con</translation>
    </message>
    <message>
        <source>Black Pencil Sketch</source>
        <translation>Boceto a lápiz negro</translation>
    </message>
    <message>
        <source>Color Pencil Sketch</source>
        <translation>Boceto a lápices de colores</translation>
    </message>
    <message>
        <source>Original Picture</source>
        <translation>Imagen original</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
</context>
<context>
    <name>CharcolinoViewController</name>
    <message>
        <source>Menu</source>
        <translation>Menú</translation>
    </message>
    <message>
        <source>New Project</source>
        <translation>Nuevo proyecto</translation>
    </message>
    <message>
        <source>Save Project</source>
        <translation>Guardar proyecto</translation>
    </message>
    <message>
        <source>Load Project</source>
        <translation>Cargar proyecto</translation>
    </message>
    <message>
        <source>Export to Photo Album</source>
        <translation>Exportar al álbum de fotos</translation>
    </message>
    <message>
        <source>Failed! No data in the current project.</source>
        <translation>¡Error! El proyecto actual no tiene datos.</translation>
    </message>
    <message>
        <source>Failed! Cannot load the project.</source>
        <translation>¡Error! No se puede cargar el proyecto.</translation>
    </message>
    <message>
        <source>Black</source>
        <translation>Negro</translation>
    </message>
    <message>
        <source>Color</source>
        <translation>Color</translation>
    </message>
    <message>
        <source>Photo</source>
        <translation>Foto</translation>
    </message>
    <message>
        <source>Move</source>
        <translation>Mover</translation>
    </message>
    <message>
        <source>Round</source>
        <translation>Redondo</translation>
    </message>
    <message>
        <source>Square</source>
        <translation>Cuadrado</translation>
    </message>
    <message>
        <source>Failed! Cannot save the project in the folder %1: %2.</source>
        <translation>¡Error! No se puede guardar el proyecto en la carpeta %1: %2.</translation>
    </message>
    <message>
        <source>Replace Project</source>
        <translation>Reemplazar proyecto</translation>
    </message>
    <message>
        <source>Slot %1 holds a project saved on %2. Replace it?</source>
        <translation>El espacio %1 contiene un proyecto guardado el %2. ¿Reemplazarlo?</translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>Reemplazar</translation>
    </message>
    <message>
        <source>Saved to slot %1</source>
        <translation>Guardado en el espacio %1</translation>
    </message>
    <message>
        <source>To paint, choose Black, Color or Photo (B, C, P)</source>
        <translation>Para pintar, elige Negro, Color o Foto (B, C, P)</translation>
    </message>
    <message>
        <source>Tool</source>
        <translation>Herramienta</translation>
    </message>
    <message>
        <source>Brush size</source>
        <translation>Tamaño del pincel</translation>
    </message>
    <message>
        <source>Brush shape</source>
        <translation>Forma del pincel</translation>
    </message>
    <message>
        <source>New, save, load and export the project</source>
        <translation>Crear, guardar, cargar y exportar el proyecto</translation>
    </message>
    <message>
        <source>Main screen</source>
        <translation>Pantalla principal</translation>
    </message>
    <message>
        <source>Brush settings</source>
        <translation>Ajustes del pincel</translation>
    </message>
    <message>
        <source>Brush: %1 pt, hardness %2 %, strength %3 %</source>
        <translation>Pincel: %1 pt, dureza %2 %, intensidad %3 %</translation>
    </message>
    <message>
        <source>Brush size (%1 smaller, %2 larger)</source>
        <translation>Tamaño del pincel (%1 más pequeño, %2 más grande)</translation>
    </message>
    <message>
        <source>Menu (%1 closes it)</source>
        <translation>Menú (%1 lo cierra)</translation>
    </message>
    <message>
        <source>Undo the last stroke</source>
        <translation>Deshacer el último trazo</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Rehacer</translation>
    </message>
    <message>
        <source>The list of keys</source>
        <translation>La lista de teclas</translation>
    </message>
    <message>
        <source>Exporting …</source>
        <translation>Exportando…</translation>
    </message>
    <message>
        <source>Exported to %1</source>
        <translation>Exportado a %1</translation>
    </message>
    <message>
        <source>%1 at its own size: %2</source>
        <translation>%1 a su propio tamaño: %2</translation>
    </message>
    <message>
        <source>Unsaved Strokes</source>
        <translation>Trazos sin guardar</translation>
    </message>
    <message>
        <source>The picture has strokes that are in no project slot. Discard them?</source>
        <translation>La imagen tiene trazos que no están en ningún espacio de proyecto. ¿Descartarlos?</translation>
    </message>
    <message>
        <source>Discard</source>
        <translation>Descartar</translation>
    </message>
    <message>
        <source>Exporting to %1 …</source>
        <translation>Exportando a %1…</translation>
    </message>
    <message>
        <source>out of memory</source>
        <translation>memoria insuficiente</translation>
    </message>
    <message>
        <source>Cannot export to %1: %2</source>
        <translation>No se puede exportar a %1: %2</translation>
    </message>
    <message>
        <source>Images (%1)</source>
        <translation>Imágenes (%1)</translation>
    </message>
    <message>
        <source>Only part of the photo could be read; the rest is left grey.
%1: %2</source>
        <translation>Solo se pudo leer parte de la foto; el resto queda en gris.
%1: %2</translation>
    </message>
    <message>
        <source>Choose a Photo</source>
        <translation>Elegir una foto</translation>
    </message>
    <message>
        <source>Opening %1 …</source>
        <translation>Abriendo %1…</translation>
    </message>
</context>
<context>
    <name>ErrorAlert</name>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
</context>
<context>
    <name>ExportDialog</name>
    <message>
        <source>Export As</source>
        <translation>Exportar como</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Carpeta</translation>
    </message>
    <message>
        <source>Browse…</source>
        <translation>Examinar…</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nombre</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Formato</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Calidad</translation>
    </message>
    <message>
        <source>The photo&apos;s full size</source>
        <translation>Tamaño completo de la foto</translation>
    </message>
    <message>
        <source>The project&apos;s size</source>
        <translation>Tamaño del proyecto</translation>
    </message>
    <message>
        <source>Folder:</source>
        <translation>Carpeta:</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Nombre:</translation>
    </message>
    <message>
        <source>Format:</source>
        <translation>Formato:</translation>
    </message>
    <message>
        <source>Quality:</source>
        <translation>Calidad:</translation>
    </message>
    <message>
        <source>Size:</source>
        <translation>Tamaño:</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Exportar</translation>
    </message>
    <message>
        <source>Export To</source>
        <translation>Exportar a</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
</context>
<context>
    <name>FileListViewController</name>
    <message>
        <source>Please select a project slot.</source>
        <translation>Selecciona un espacio de proyecto.</translation>
    </message>
    <message>
        <source>No data in the selected project slot.</source>
        <translation>El espacio de proyecto elegido no tiene datos.</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Guardar</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Load</source>
        <translation>Cargar</translation>
    </message>
    <message>
        <source>Save Project</source>
        <translation>Guardar proyecto</translation>
    </message>
    <message>
        <source>Load Project</source>
        <translation>Cargar proyecto</translation>
    </message>
</context>
<context>
    <name>KeysBox</name>
    <message>
        <source>Keys</source>
        <translation>Teclas</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Cerrar</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>* Unsaved strokes</source>
        <translation>* Trazos sin guardar</translation>
    </message>
</context>
<context>
    <name>MenuHistoryRow</name>
    <message>
        <source>Undo</source>
        <translation>Deshacer</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Rehacer</translation>
    </message>
    <message>
        <source>Keys</source>
        <translation>Teclas</translation>
    </message>
    <message>
        <source>List of keys</source>
        <translation>Lista de teclas</translation>
    </message>
</context>
<context>
    <name>Question</name>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
</context>
<context>
    <name>ShortcutTable</name>
    <message>
        <source>Paint from the black pencil sketch</source>
        <translation>Pintar a partir del boceto a lápiz negro</translation>
    </message>
    <message>
        <source>Paint from the colour pencil sketch</source>
        <translation>Pintar a partir del boceto a lápices de colores</translation>
    </message>
    <message>
        <source>Paint from the photo</source>
        <translation>Pintar a partir de la foto</translation>
    </message>
    <message>
        <source>Move and zoom</source>
        <translation>Mover y ampliar</translation>
    </message>
    <message>
        <source>Smaller brush</source>
        <translation>Pincel más pequeño</translation>
    </message>
    <message>
        <source>Larger brush</source>
        <translation>Pincel más grande</translation>
    </message>
    <message>
        <source>Round or square brush</source>
        <translation>Pincel redondo o cuadrado</translation>
    </message>
    <message>
        <source>Brush 10 % smaller</source>
        <translation>Pincel un 10 % más pequeño</translation>
    </message>
    <message>
        <source>Brush 10 % larger</source>
        <translation>Pincel un 10 % más grande</translation>
    </message>
    <message>
        <source>Softer edge</source>
        <translation>Borde más suave</translation>
    </message>
    <message>
        <source>Harder edge</source>
        <translation>Borde más duro</translation>
    </message>
    <message>
        <source>Lower strength (10 % less)</source>
        <translation>Menos intensidad (un 10 % menos)</translation>
    </message>
    <message>
        <source>Raise strength (10 % more)</source>
        <translation>Más intensidad (un 10 % más)</translation>
    </message>
    <message>
        <source>Hold to see what the brush reveals</source>
        <translation>Mantener pulsado para ver lo que revela el pincel</translation>
    </message>
    <message>
        <source>New Project</source>
        <translation>Nuevo proyecto</translation>
    </message>
    <message>
        <source>Save Project</source>
        <translation>Guardar proyecto</translation>
    </message>
    <message>
        <source>Load Project</source>
        <translation>Cargar proyecto</translation>
    </message>
    <message>
        <source>Export to Photo Album</source>
        <translation>Exportar al álbum de fotos</translation>
    </message>
    <message>
        <source>Export As: folder, name, format and size</source>
        <translation>Exportar como: carpeta, nombre, formato y tamaño</translation>
    </message>
    <message>
        <source>Undo the last stroke</source>
        <translation>Deshacer el último trazo</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Rehacer</translation>
    </message>
    <message>
        <source>Zoom in</source>
        <translation>Ampliar</translation>
    </message>
    <message>
        <source>Zoom out</source>
        <translation>Reducir</translation>
    </message>
    <message>
        <source>Whole picture in view</source>
        <translation>Ver la imagen entera</translation>
    </message>
    <message>
        <source>Close the menu</source>
        <translation>Cerrar el menú</translation>
    </message>
    <message>
        <source>This list of keys</source>
        <translation>Esta lista de teclas</translation>
    </message>
</context>
<context>
    <name>ShowInFolderButton</name>
    <message>
        <source>Show in folder</source>
        <translation>Mostrar en la carpeta</translation>
    </message>
</context>
<context>
    <name>SingleInstance</name>
    <message>
        <source> (process %1 on %2)</source>
        <translation> (proceso %1 en %2)</translation>
    </message>
    <message>
        <source>Charcolino is already running on %1%2 but does not answer: %3</source>
        <translation>Charcolino ya se está ejecutando en %1%2, pero no responde: %3</translation>
    </message>
</context>
<context>
    <name>SlotListModel</name>
    <message>
        <source>Slot %1: %2</source>
        <translation>Espacio %1: %2</translation>
    </message>
    <message>
        <source>Empty</source>
        <translation>Vacío</translation>
    </message>
</context>
</TS>
