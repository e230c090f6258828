#pragma once
// A plain horizontal band container, and the saving and loading of the band
// order and sizes of every such container of a frame ("KVTRebar-%ld" with
// the values "RBI", the 80-byte band records, and "IDs", the children's
// control ids).

#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

class KvtRebar : public QWidget
{
    Q_OBJECT
public:
    // The stored band record: 20 u32, of which these are used.
    using BandRecord = std::array<uint8_t, 80>;
    static constexpr uint32_t StoredMask = 0x361;

    struct Band
    {
        QWidget* child = nullptr;
        uint32_t style = 0;
        QSize minChild;
        int width = 0;
        uint32_t id = 0;
        int childHeight = 0;
        int maxChildHeight = 0;
        int integral = 0;
        int idealWidth = 0;
    };

    explicit KvtRebar(QWidget* parent = nullptr, uint32_t id = 0);

    uint32_t GetDlgCtrlID() const { return m_id; }
    void SetDlgCtrlID(uint32_t id) { m_id = id; }

    int InsertBand(const Band& band, int index = -1);
    int GetBandCount() const { return int(m_bands.size()); }
    const Band& GetBand(int index) const { return m_bands[size_t(index)]; }
    BandRecord GetBandInfo(int index) const;
    bool SetBandInfo(int index, const BandRecord& record);
    bool MoveBand(int from, int to);
    // The control id of a band's child: GetDlgCtrlID of a control bar, else 0.
    uint32_t ChildId(int index) const;
    // A child's band gets a new minimum child size (a toolbar's AdjustLayout).
    void SetChildMinSize(QWidget* child, QSize size);

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void Relayout();
    std::vector<Band> m_bands;
    uint32_t m_id;
};

bool SaveRebarsState(QWidget* frame, const QString& path);
bool LoadRebarsState(QWidget* frame, const QString& path);
