#pragma once

#include <QAbstractListModel>
#include <QImage>
#include <QString>
#include <array>
#include <functional>

// The rows of the slot browser: row r stands for slot r + 1, and shows "Slot n: "
// first. An occupied slot shows its save time in opaque black and its thumbnail;
// an empty one "Empty" in black at half opacity and no picture. Every row is 80 points high, the box the
// thumbnails fit into.
class SlotListModel : public QAbstractListModel {
    Q_OBJECT
public:
    static constexpr int kRowCount = 10;
    static constexpr int kRowHeight = 80;

    // How a slot's save time (null text: the slot is empty) and thumbnail (null
    // image: none) are read.
    using TimeReader = std::function<QString(int slot)>;
    using ThumbnailReader = std::function<QImage(int slot)>;

    SlotListModel(TimeReader timeOf, ThumbnailReader thumbnailOf, QObject* parent = nullptr);

    static int slotOfRow(int row) { return row + 1; }

    // Reads every slot's files anew; until the first call every row is empty.
    void reload();

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct Row {
        QString time;
        QImage thumbnail;
    };

    TimeReader mTimeOf;
    ThumbnailReader mThumbnailOf;
    std::array<Row, kRowCount> mRows;
};
