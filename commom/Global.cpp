#include "commom/Global.h"

#include "commom/Logger.h"

#include <cstdlib>

const OrderedMap<QString, QString> g_serialTabNames = {
    {"AHRSDataWidget", "AHRS数据"},
    {"ImuParameterConfigWidget", "参数设置"},
    {"CommandCreatorWidget", "命令生成器"},
    {"FirmwareUpgradeWidget", "固件升级"},
    {"InstrumentWidget", "仪表盘"},
    {"SerialPortAssistantWidget", "串口助手"},
};

const OrderedMap<QString, QString> g_helpTabNames = {
    {"AboutDialog", "关于"},
    {"UpgradeDialog", "软件升级"},
};

const OrderedMap<QString, QString> g_singelTabNames = {
    {"DataDecodeDialog", "数据解码"},
};

const OrderedMap<QString, QString> g_extendTabNames = {};

const QVector<QString> g_mode_button_show_class = {
    "AHRS数据", "仪表盘", "AHRS产品出厂测试上位机", "行人导航", "33IMU数据",
};

const QVector<QString> g_model_board_codes = {};

QMap<QString, int> m_map_init_finish_widget;

LockedString g_connection_serial_name;
LockedString g_connection_baud_rate;
LockedString g_current_action_name;
LockedString g_imu_sn;

std::atomic<bool> g_serial_is_connected{false};
std::atomic<bool> g_communicate_with_serial_flag{false};
std::atomic<bool> g_app_is_exit{false};
std::atomic<uint64_t> g_send_total_byte{0};
std::atomic<uint64_t> g_recv_total_byte{0};
std::atomic<bool> g_ahrs_file_recording{false};
std::atomic<bool> g_33imu_file_recording{false};
std::atomic<bool> g_people_nav_file_recording{false};
std::atomic<bool> g_serial_assistant_save_data{false};
std::atomic<bool> g_is_running_upgrade{false};
std::atomic<bool> g_cancelUpgradeFlag{false};
std::atomic<int> g_upgradedDevicesIsNormal{0};
std::atomic<bool> g_decode_exit{false};
std::atomic<bool> g_param_table_req_running{false};
std::atomic<bool> g_param_table_req_timeout{false};
std::atomic<int> g_param_set_success_flag{-1};
std::atomic<bool> g_select_data_rate{false};
std::atomic<int> g_data_rate{0};
std::atomic<int> g_ahrsGroupOneFlag{0};

void ForceExitApplication()
{
    LOG_INFO() << "强制退出";
    Logger::Flush();
    std::_Exit(10);
}
