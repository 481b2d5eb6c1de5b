<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr">
<context>
    <name>BrushPopup</name>
    <message>
        <source>Brush size (%1 smaller, %2 larger)</source>
        <translation>Taille du pinceau (%1 plus petit, %2 plus grand)</translation>
    </message>
    <message>
        <source>Edge hardness (%1 softer, %2 harder)</source>
        <translation>Dureté du bord (%1 plus doux, %2 plus dur)</translation>
    </message>
    <message>
        <source>Strength of a stroke (%1 lower, %2 higher)</source>
        <translation>Intensité d&apos;un trait (%1 moins, %2 plus)</translation>
    </message>
    <message>
        <source>Pen pressure sets strength</source>
        <translation>La pression du stylet règle l&apos;intensité</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Taille</translation>
    </message>
    <message>
        <source>Hardness</source>
        <translation>Dureté</translation>
    </message>
    <message>
        <source>Strength</source>
        <translation>Intensité</translation>
    </message>
</context>
<context>
    <name>CanvasAccessible</name>
    <message>
        <source>Picture</source>
        <translation>Image</translation>
    </message>
    <message>
        <source>No picture.</source>
        <translation>Aucune image.</translation>
    </message>
    <message>
        <source>Paints from the black pencil sketch.</source>
        <translation>Peint à partir du croquis au crayon noir.</translation>
    </message>
    <message>
        <source>Paints from the colour pencil sketch.</source>
        <translation>Peint à partir du croquis aux crayons de couleur.</translation>
    </message>
    <message>
        <source>Paints from the photo.</source>
        <translation>Peint à partir de la photo.</translation>
    </message>
    <message>
        <source>Moves and zooms the picture.</source>
        <translation>Déplace et zoome l&apos;image.</translation>
    </message>
    <message>
        <source>No tool.</source>
        <translation>Aucun outil.</translation>
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
        <translation>La mémoire est presque pleine. Éteignez votre iPhone en maintenant le bouton marche/arrêt, puis rallumez-le pour libérer de la mémoire.</translation>
    </message>
    <message>
        <source>No data in the working space.</source>
        <translation>Aucune donnée dans l&apos;espace de travail.</translation>
    </message>
    <message>
        <source>Unsupported image format or image file.</source>
        <translation>Format ou fichier d&apos;image non pris en charge.</translation>
    </message>
    <message>
        <source>Start New Project With</source>
        <translation>Commencer un nouveau projet avec</translation>
    </message>
    <message>
        <source>Black Pencil Sketch</source>
        <translation>Croquis au crayon noir</translation>
    </message>
    <message>
        <source>Color Pencil Sketch</source>
        <translation>Croquis aux crayons de couleur</translation>
    </message>
    <message>
        <source>Original Picture</source>
        <translation>Image originale</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
</context>
<context>
    <name>CharcolinoViewController</name>
    <message>
        <source>Menu</source>
        <translation>Menu</translation>
    </message>
    <message>
        <source>New Project</source>
        <translation>Nouveau projet</translation>
    </message>
    <message>
        <source>Save Project</source>
        <translation>Enregistrer le projet</translation>
    </message>
    <message>
        <source>Load Project</source>
        <translation>Charger un projet</translation>
    </message>
    <message>
        <source>Export to Photo Album</source>
        <translation>Exporter vers l&apos;album photo</translation>
    </message>
    <message>
        <source>Failed! No data in the current project.</source>
        <translation>Échec ! Le projet en cours ne contient aucune donnée.</translation>
    </message>
    <message>
        <source>Failed! Cannot load the project.</source>
        <translation>Échec ! Impossible de charger le projet.</translation>
    </message>
    <message>
        <source>Black</source>
        <translation>Noir</translation>
    </message>
    <message>
        <source>Color</source>
        <translation>Couleur</translation>
    </message>
    <message>
        <source>Photo</source>
        <translation>Photo</translation>
    </message>
    <message>
        <source>Move</source>
        <translation>Déplacer</translation>
    </message>
    <message>
        <source>Round</source>
        <translation>Rond</translation>
    </message>
    <message>
        <source>Square</source>
        <translation>Carré</translation>
    </message>
    <message>
        <source>Failed! Cannot save the project in the folder %1: %2.</source>
        <translation>Échec ! Impossible d&apos;enregistrer le projet dans le dossier %1 : %2.</translation>
    </message>
    <message>
        <source>Replace Project</source>
        <translation>Remplacer le projet</translation>
    </message>
    <message>
        <source>Slot %1 holds a project saved on %2. Replace it?</source>
        <translation>L&apos;emplacement %1 contient un projet enregistré le %2. Le remplacer ?</translation>
    </message>
    <message>
        <source>Replace</source>
        <translation>Remplacer</translation>
    </message>
    <message>
        <source>Saved to slot %1</source>
        <translation>Enregistré dans l&apos;emplacement %1</translation>
    </message>
    <message>
        <source>To paint, choose Black, Color or Photo (B, C, P)</source>
        <translation>Pour peindre, choisissez Noir, Couleur ou Photo (B, C, P)</translation>
    </message>
    <message>
        <source>Tool</source>
        <translation>Outil</translation>
    </message>
    <message>
        <source>Brush size</source>
        <translation>Taille du pinceau</translation>
    </message>
    <message>
        <source>Brush shape</source>
        <translation>Forme du pinceau</translation>
    </message>
    <message>
        <source>New, save, load and export the project</source>
        <translation>Créer, enregistrer, charger et exporter le projet</translation>
    </message>
    <message>
        <source>Main screen</source>
        <translation>Écran principal</translation>
    </message>
    <message>
        <source>Brush settings</source>
        <translation>Réglages du pinceau</translation>
    </message>
    <message>
        <source>Brush: %1 pt, hardness %2 %, strength %3 %</source>
        <translation>Pinceau : %1 pt, dureté %2 %, intensité %3 %</translation>
    </message>
    <message>
        <source>Brush size (%1 smaller, %2 larger)</source>
        <translation>Taille du pinceau (%1 plus petit, %2 plus grand)</translation>
    </message>
    <message>
        <source>Menu (%1 closes it)</source>
        <translation>Menu (%1 le ferme)</translation>
    </message>
    <message>
        <source>Undo the last stroke</source>
        <translation>Annuler le dernier trait</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Rétablir</translation>
    </message>
    <message>
        <source>The list of keys</source>
        <translation>La liste des touches</translation>
    </message>
    <message>
        <source>Exporting …</source>
        <translation>Exportation …</translation>
    </message>
    <message>
        <source>Exported to %1</source>
        <translation>Exporté vers %1</translation>
    </message>
    <message>
        <source>%1 at its own size: %2</source>
        <translation>%1 à sa propre taille : %2</translation>
    </message>
    <message>
        <source>Unsaved Strokes</source>
        <translation>Traits non enregistrés</translation>
    </message>
    <message>
        <source>The picture has strokes that are in no project slot. Discard them?</source>
        <translation>L&apos;image contient des traits qui ne sont dans aucun emplacement de projet. Les abandonner ?</translation>
    </message>
    <message>
        <source>Discard</source>
        <translation>Abandonner</translation>
    </message>
    <message>
        <source>Exporting to %1 …</source>
        <translation>Exportation vers %1 …</translation>
    </message>
    <message>
        <source>out of memory</source>
        <translation>mémoire insuffisante</translation>
    </message>
    <message>
        <source>Cannot export to %1: %2</source>
        <translation>Impossible d&apos;exporter vers %1 : %2</translation>
    </message>
    <message>
        <source>Images (%1)</source>
        <translation>Images (%1)</translation>
    </message>
    <message>
        <source>Only part of the photo could be read; the rest is left grey.
%1: %2</source>
        <translation>La photo n&apos;a pu être lue qu&apos;en partie ; le reste est laissé en gris.
%1 : %2</translation>
    </message>
    <message>
        <source>Choose a Photo</source>
        <translation>Choisir une photo</translation>
    </message>
    <message>
        <source>Opening %1 …</source>
        <translation>Ouverture de %1 …</translation>
    </message>
</context>
<context>
    <name>ErrorAlert</name>
    <message>
        <source>Error</source>
        <translation>Erreur</translation>
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
        <translation>Exporter sous</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>Dossier</translation>
    </message>
    <message>
        <source>Browse…</source>
        <translation>Parcourir…</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nom</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Qualité</translation>
    </message>
    <message>
        <source>The photo&apos;s full size</source>
        <translation>Taille réelle de la photo</translation>
    </message>
    <message>
        <source>The project&apos;s size</source>
        <translation>Taille du projet</translation>
    </message>
    <message>
        <source>Folder:</source>
        <translation>Dossier :</translation>
    </message>
    <message>
        <source>Name:</source>
        <translation>Nom :</translation>
    </message>
    <message>
        <source>Format:</source>
        <translation>Format :</translation>
    </message>
    <message>
        <source>Quality:</source>
        <translation>Qualité :</translation>
    </message>
    <message>
        <source>Size:</source>
        <translation>Taille :</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Exporter</translation>
    </message>
    <message>
        <source>Export To</source>
        <translation>Exporter vers</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
</context>
<context>
    <name>FileListViewController</name>
    <message>
        <source>Please select a project slot.</source>
        <translation>Veuillez choisir un emplacement de projet.</translation>
    </message>
    <message>
        <source>No data in the selected project slot.</source>
        <translation>L&apos;emplacement de projet choisi ne contient aucune donnée.</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Enregistrer</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Load</source>
        <translation>Charger</translation>
    </message>
    <message>
        <source>Save Project</source>
        <translation>Enregistrer le projet</translation>
    </message>
    <message>
        <source>Load Project</source>
        <translation>Charger un projet</translation>
    </message>
</context>
<context>
    <name>KeysBox</name>
    <message>
        <source>Keys</source>
        <translation>Touches</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Fermer</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>* Unsaved strokes</source>
        <translation>* Traits non enregistrés</translation>
    </message>
</context>
<context>
    <name>MenuHistoryRow</name>
    <message>
        <source>Undo</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Rétablir</translation>
    </message>
    <message>
        <source>Keys</source>
        <translation>Touches</translation>
    </message>
    <message>
        <source>List of keys</source>
        <translation>Liste des touches</translation>
    </message>
</context>
<context>
    <name>Question</name>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
</context>
<context>
    <name>ShortcutTable</name>
    <message>
        <source>Paint from the black pencil sketch</source>
        <translation>Peindre à partir du croquis au crayon noir</translation>
    </message>
    <message>
        <source>Paint from the colour pencil sketch</source>
        <translation>Peindre à partir du croquis aux crayons de couleur</translation>
    </message>
    <message>
        <source>Paint from the photo</source>
        <translation>Peindre à partir de la photo</translation>
    </message>
    <message>
        <source>Move and zoom</source>
        <translation>Déplacer et zoomer</translation>
    </message>
    <message>
        <source>Smaller brush</source>
        <translation>Pinceau plus petit</translation>
    </message>
    <message>
        <source>Larger brush</source>
        <translation>Pinceau plus grand</translation>
    </message>
    <message>
        <source>Round or square brush</source>
        <translation>Pinceau rond ou carré</translation>
    </message>
    <message>
        <source>Brush 10 % smaller</source>
        <translation>Pinceau 10 % plus petit</translation>
    </message>
    <message>
        <source>Brush 10 % larger</source>
        <translation>Pinceau 10 % plus grand</translation>
    </message>
    <message>
        <source>Softer edge</source>
        <translation>Bord plus doux</translation>
    </message>
    <message>
        <source>Harder edge</source>
        <translation>Bord plus dur</translation>
    </message>
    <message>
        <source>Lower strength (10 % less)</source>
        <translation>Intensité plus faible (10 % de moins)</translation>
    </message>
    <message>
        <source>Raise strength (10 % more)</source>
        <translation>Intensité plus forte (10 % de plus)</translation>
    </message>
    <message>
        <source>Hold to see what the brush reveals</source>
        <translation>Maintenir pour voir ce que révèle le pinceau</translation>
    </message>
    <message>
        <source>New Project</source>
        <translation>Nouveau projet</translation>
    </message>
    <message>
        <source>Save Project</source>
        <translation>Enregistrer le projet</translation>
    </message>
    <message>
        <source>Load Project</source>
        <translation>Charger un projet</translation>
    </message>
    <message>
        <source>Export to Photo Album</source>
        <translation>Exporter vers l&apos;album photo</translation>
    </message>
    <message>
        <source>Export As: folder, name, format and size</source>
        <translation>Exporter sous : dossier, nom, format et taille</translation>
    </message>
    <message>
        <source>Undo the last stroke</source>
        <translation>Annuler le dernier trait</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Rétablir</translation>
    </message>
    <message>
        <source>Zoom in</source>
        <translation>Zoom avant</translation>
    </message>
    <message>
        <source>Zoom out</source>
        <translation>Zoom arrière</translation>
    </message>
    <message>
        <source>Whole picture in view</source>
        <translation>Image entière à l&apos;écran</translation>
    </message>
    <message>
        <source>Close the menu</source>
        <translation>Fermer le menu</translation>
    </message>
    <message>
        <source>This list of keys</source>
        <translation>Cette liste des touches</translation>
    </message>
</context>
<context>
    <name>ShowInFolderButton</name>
    <message>
        <source>Show in folder</source>
        <translation>Afficher dans le dossier</translation>
    </message>
</context>
<context>
    <name>SingleInstance</name>
    <message>
        <source> (process %1 on %2)</source>
        <translation> (processus %1 sur %2)</translation>
    </message>
    <message>
        <source>Charcolino is already running on %1%2 but does not answer: %3</source>
        <translation>Charcolino est déjà lancé sur %1%2 mais ne répond pas : %3</translation>
    </message>
</context>
<context>
    <name>SlotListModel</name>
    <message>
        <source>Slot %1: %2</source>
        <translation>Emplacement %1 : %2</translation>
    </message>
    <message>
        <source>Empty</source>
        <translation>Vide</translation>
    </message>
</context>
</TS>
