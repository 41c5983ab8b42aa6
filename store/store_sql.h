#pragma once
// Statement texts of the profile store, exactly as they are sent to SQLite
// (the runs of tabs and blanks inside some of them included).

namespace brumkey::sql {

inline constexpr const char kClearLightStatus[] =
    "UPDATE t_light_data SET status = ?";
inline constexpr const char kClearMusicLayerSel[] =
    "UPDATE t_musiclayer_data SET sel = ? WHERE profile = ?";
inline constexpr const char kClearProfileStatus[] =
    "UPDATE t_profile_data SET status = ?";
inline constexpr const char kCountLights[] =
    "select count(*) FROM t_light_data WHERE profile = ?";
inline constexpr const char kCountMusicLayers[] =
    "select count(*) FROM t_musiclayer_data WHERE profile = ?";
inline constexpr const char kDeleteCustomKeyLights[] =
    "DELETE FROM t_key_light_data WHERE light_id = ?";
inline constexpr const char kDeleteKeyFunction[] =
    "DELETE FROM t_key_macro_data WHERE profile = ? and fn_layer = ? and key_code = ?";
inline constexpr const char kDeleteMacro[] =
    "DELETE FROM t_macro_data WHERE macro_id = ?";
inline constexpr const char kDeleteMacroEvents[] =
    "DELETE FROM t_macrorecord WHERE macro_id = ?";
inline constexpr const char kDeleteMacroKeys[] =
    "DELETE FROM t_key_macro_data WHERE macro_type = ? and macro_value = ?";
inline constexpr const char kDeleteProfile[] =
    "DELETE FROM t_profile_data WHERE profile = ?";
inline constexpr const char kDeleteProfileKeys[] =
    "DELETE FROM t_key_macro_data WHERE profile = ?";
inline constexpr const char kInsertConfig[] =
    "INSERT INTO t_configdata(profile, key, value) VALUES (?, ?, ?);";
inline constexpr const char kInsertKeyFunction[] =
    "INSERT INTO t_key_macro_data(profile, fn_layer, key_code, layout_value, layout_desc,                     macro_type, macro_value, macro_value2, macro_value3, macro_desc) \t\t\t\t\t VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?);";
inline constexpr const char kInsertKeyLight[] =
    "INSERT INTO t_key_light_data(profile, light_id, key_code, key_rgb) VALUES (?, ?, ?, ?);";
inline constexpr const char kInsertKeyOtherData[] =
    "INSERT INTO t_key_otherdata(macro_desc, param, type) VALUES (?, ?, ?);";
inline constexpr const char kInsertLight[] =
    "INSERT INTO t_light_data(profile, name, mode, brightness, speed, direction, \t\t\t\t\t colorful, colorindex, color_value, config_func, reserved, status) \t\t\t\t\t VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?);";
inline constexpr const char kInsertMacro[] =
    "INSERT INTO t_macro_data(play_times, delay_type, delay_time, link_count, name) VALUES (?, ?, ?, ?, ?);";
inline constexpr const char kInsertMacroEvent[] =
    "INSERT INTO t_macrorecord(macro_id, type, record_index, desc, value, delay_time) \t\t\t\t\t VALUES (?, ?, ?, ?, ?, ?);";
inline constexpr const char kInsertMusicLayer[] =
    "INSERT INTO t_musiclayer_data(profile, name, deviceindex, foremode, fore_amplitude, backmode, backb_right, sel) \t\t\t\t\t\t\t\t\t\t\t\t\tVALUES (?, ?, ?, ?, ?, ?, ?, ?);";
inline constexpr const char kInsertProfile[] =
    "INSERT INTO t_profile_data(name, status, app, type) VALUES (?, ?, ?, ?);";
inline constexpr const char kRenameMacro[] =
    "UPDATE t_macro_data SET name = ? WHERE macro_id = ?";
inline constexpr const char kRenameProfile[] =
    "UPDATE t_profile_data SET name = ? WHERE profile = ?";
inline constexpr const char kSelectActiveLightMode[] =
    "SELECT mode FROM t_light_data WHERE profile = ? and status = ?";
inline constexpr const char kSelectActiveProfile[] =
    "SELECT profile FROM t_profile_data WHERE status = ?";
inline constexpr const char kSelectKeyFunction[] =
    "SELECT * FROM t_key_macro_data WHERE profile = ? and fn_layer = ? and key_code = ?";
inline constexpr const char kSelectKeyFunctions[] =
    "SELECT * FROM t_key_macro_data WHERE profile = ? and fn_layer = ?";
inline constexpr const char kSelectKeyLights[] =
    "SELECT * FROM t_key_light_data WHERE light_id = ?";
inline constexpr const char kSelectKeyOtherData[] =
    "SELECT macro_desc, param, type FROM t_key_otherdata WHERE macro_value = ?";
inline constexpr const char kSelectLight[] =
    "SELECT * FROM t_light_data WHERE profile = ? AND mode = ?";
inline constexpr const char kSelectLights[] =
    "SELECT * FROM t_light_data WHERE profile = ?";
inline constexpr const char kSelectMacro[] =
    "SELECT * FROM t_macro_data WHERE macro_id = ?";
inline constexpr const char kSelectMacroEvents[] =
    "SELECT * FROM t_macrorecord WHERE macro_id = ? ORDER BY record_index ASC";
inline constexpr const char kSelectMacroPlayTimes[] =
    "SELECT play_times FROM t_macro_data WHERE macro_id = ?";
inline constexpr const char kSelectMacros[] =
    "SELECT * FROM t_macro_data";
inline constexpr const char kSelectMusicLayer[] =
    "SELECT * FROM t_musiclayer_data WHERE layer_id = ?";
inline constexpr const char kSelectProfileName[] =
    "SELECT name FROM t_profile_data WHERE profile = ?";
inline constexpr const char kSelectProfiles[] =
    "SELECT * FROM t_profile_data";
inline constexpr const char kSelectSelectedMusicLayer[] =
    "SELECT layer_id FROM t_musiclayer_data WHERE profile = ? AND sel = ?";
inline constexpr const char kSetLightStatus[] =
    "UPDATE t_light_data SET status = ? WHERE profile = ? and mode = ?";
inline constexpr const char kSetMusicLayerSel[] =
    "UPDATE t_musiclayer_data SET sel = ? WHERE profile = ? AND layer_id = ?";
inline constexpr const char kSetProfileStatus[] =
    "UPDATE t_profile_data SET status = ? WHERE profile = ?";
inline constexpr const char kUpdateLight[] =
    "UPDATE t_light_data SET brightness = ?, speed = ?, direction = ?, colorful = ?, colorindex = ?,\t\t\t color_value = ?, config_func = ?, reserved = ? WHERE profile = ? AND mode = ?";
inline constexpr const char kUpdateMacroPlayback[] =
    "UPDATE t_macro_data SET play_times = ?, delay_type = ?, \t\t\t\t\t delay_time = ? WHERE macro_id = ?";
inline constexpr const char kUpdateMusicLayer[] =
    "UPDATE t_musiclayer_data SET deviceindex= ?, foremode= ?, fore_amplitude = ?, backmode= ?, backb_right= ? WHERE layer_id = ?";


}  // namespace brumkey::sql
