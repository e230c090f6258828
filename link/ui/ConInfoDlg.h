#pragma once
// The connection monitor (dialog 11000): a tab control with the table of
// the link's statistics (11001), the graph of eight rates (11002) and the
// graph's settings (11004), refreshed by a timer from
// COlnkLink::GetStatistics.  The connection bar of the main frame creates
// it and starts and stops the refresh.  See docs/link-windows.md.

#include "link/ui/ConInfoModel.h"

#include <QWidget>

#include <array>

class COlnkLink;
class CColorEdit;
class QCheckBox;
class QLabel;
class QLineEdit;
class QTabWidget;
class QTimer;

namespace linkui {

class CConInfoStatPage : public QWidget
{
    Q_OBJECT
public:
    explicit CConInfoStatPage(QWidget* parent);
    // The counters of a reading and the rates (none: shown as 0).
    void Show(const OlnkStatistics& s, const Rates& r);
    QString Value(int id) const;

private:
    void Set(int id, const QString& text);
};

class CConInfoGraphPage : public QWidget
{
    Q_OBJECT
public:
    CConInfoGraphPage(QWidget* parent, ConInfoModel* model);
    void SetSettings(const GraphSettings& s);
    // The drawing into any painter of the given size.
    static void Paint(QPainter& p, const ConInfoModel& model, int width, int height);

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    ConInfoModel* m_model;
};

class CConInfoSetupPage : public QWidget
{
    Q_OBJECT
public:
    explicit CConInfoSetupPage(QWidget* parent);
    // Controls to settings: texts that are no numbers keep the last value
    // read or written; the interval is at least 100 ms.
    GraphSettings Read();
    void Write(const GraphSettings& s);
    void ShowRates(const Rates& r);

private:
    std::array<QCheckBox*, kSeries> m_check{};
    std::array<QLineEdit*, kSeries> m_range{};
    std::array<CColorEdit*, kSeries> m_swatch{};
    std::array<QLabel*, kSeries> m_rate{};
    QLineEdit* m_interval = nullptr;
    GraphSettings m_last = GraphSettings::Defaults();
};

class CConInfoDlg : public QWidget
{
    Q_OBJECT
public:
    explicit CConInfoDlg(QWidget* parent = nullptr);
    ~CConInfoDlg() override;

    // The size at which every page shows whole; below it the table and the
    // settings scroll (there is no minimum).
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    bool StartRefresh(COlnkLink* link);
    void StopRefresh();

    QTabWidget* Tabs() const { return m_tabs; }
    QTimer* Timer() const { return m_timer; }
    int Interval() const { return m_interval; }
    ConInfoModel& Model() { return m_model; }
    CConInfoStatPage* StatPage() const { return m_stat; }
    CConInfoGraphPage* GraphPage() const { return m_graph; }
    CConInfoSetupPage* SetupPage() const { return m_setup; }
    // One tick of the refresh (the timer's handler).
    void OnTimer();
    void OnTabSelChange(int index);

private:
    void Restart(int interval);

    ConInfoModel m_model;
    QTabWidget* m_tabs = nullptr;
    CConInfoStatPage* m_stat = nullptr;
    CConInfoGraphPage* m_graph = nullptr;
    CConInfoSetupPage* m_setup = nullptr;
    QTimer* m_timer = nullptr;
    COlnkLink* m_link = nullptr;
    int m_interval = 1000;
};

} // namespace linkui
