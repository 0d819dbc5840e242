#ifndef GLOBAL_H
#define GLOBAL_H

#include <QMap>
#include <QString>
#include <QVector>

#include <atomic>
#include <cstdint>

#include "commom/LockedString.h"
#include "commom/OrderedMap.h"

// Tool tables: class name of a tool to the caption shown in its menu, in
// menu order.
extern const OrderedMap<QString, QString> g_serialTabNames;
extern const OrderedMap<QString, QString> g_helpTabNames;
extern const OrderedMap<QString, QString> g_singelTabNames;
extern const OrderedMap<QString, QString> g_extendTabNames;

// Captions for which the main window shows its mode (start) button.
extern const QVector<QString> g_mode_button_show_class;

// Board codes of the device models the identity panel names; not known yet,
// so the list is empty and every user of it treats any code as unknown.
extern const QVector<QString> g_model_board_codes;

// Class name of a built page to its position in the display area's stack
// plus one. GUI thread only.
extern QMap<QString, int> m_map_init_finish_widget;

// Connection and tool state shared between the GUI thread and the workers.
extern LockedString g_connection_serial_name;
extern LockedString g_connection_baud_rate;
extern LockedString g_current_action_name;
extern LockedString g_imu_sn;

extern std::atomic<bool> g_serial_is_connected;
extern std::atomic<bool> g_communicate_with_serial_flag;
extern std::atomic<bool> g_app_is_exit;
extern std::atomic<uint64_t> g_send_total_byte;
extern std::atomic<uint64_t> g_recv_total_byte;
extern std::atomic<bool> g_ahrs_file_recording;
extern std::atomic<bool> g_33imu_file_recording;
extern std::atomic<bool> g_people_nav_file_recording;
extern std::atomic<bool> g_serial_assistant_save_data;
extern std::atomic<bool> g_is_running_upgrade;
extern std::atomic<bool> g_cancelUpgradeFlag;
extern std::atomic<int> g_upgradedDevicesIsNormal;
extern std::atomic<bool> g_decode_exit;
extern std::atomic<bool> g_param_table_req_running;
extern std::atomic<bool> g_param_table_req_timeout;
extern std::atomic<int> g_param_set_success_flag;
extern std::atomic<bool> g_select_data_rate;
extern std::atomic<int> g_data_rate;
extern std::atomic<int> g_ahrsGroupOneFlag;

// Ends the process from any thread once the application is closing: logs
// "强制退出", flushes the log and leaves with exit code 10 without running
// static destructors while other threads are still at work.
[[noreturn]] void ForceExitApplication();

#endif // GLOBAL_H
