#pragma once

#include <QWidget>

class CAppSettings;
class QCheckBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QTimeEdit;
class QVBoxLayout;

// Scheduler page of the preferences: arms or disarms one scheduled recording
// for this run of the program (start time, duration, power-off afterwards).
// Whether a task is armed is a process-wide flag that is never stored, so
// every start begins without a task.
class CSetTaskDialog : public QWidget
{
    Q_OBJECT
public:
    explicit CSetTaskDialog(QWidget* parent);
    ~CSetTaskDialog() override;

    // The task flag: true while no scheduled recording is armed (true at
    // start). GUI thread only.
    static bool IsTaskDisabled();
    // Disarms the task (the main window calls it when it stops a recording
    // while a task is armed, so that a task runs once).
    static void SetTaskDisabled();

    void RetranslateUi();

    QCheckBox* TaskCheckBox() const { return m_taskCheck; }
    QCheckBox* ShutdownCheckBox() const { return m_shutdownCheck; }
    QTimeEdit* StartTimeEdit() const { return m_startEdit; }
    QTimeEdit* DurationEdit() const { return m_durationEdit; }
    QGroupBox* GroupBox() const { return m_group; }

public slots:
    void Save();
    void ChangeSate(int state);

private:
    static bool s_taskDisabled;

    QCheckBox* m_shutdownCheck = nullptr;
    QLabel* m_startLabel = nullptr;
    QLabel* m_durationLabel = nullptr;
    QTimeEdit* m_startEdit = nullptr;
    QTimeEdit* m_durationEdit = nullptr;
    QVBoxLayout* m_vLayout = nullptr;
    QGridLayout* m_grid = nullptr;
    QGroupBox* m_group = nullptr;
    QCheckBox* m_taskCheck = nullptr;
    CAppSettings* m_settings = nullptr;
};
