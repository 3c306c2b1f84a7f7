#pragma once
// Reports for the network's system log. The messages are built and numbered
// but no channel for them is open in this node, so none leaves it.

#include <cstddef>
#include <cstdint>

inline constexpr size_t SYS_LOG_TEXT_CAPACITY = 112;       // 111 characters
inline constexpr size_t SYSLOG_TEXT_MESSAGE_CAPACITY = 100;  // 63 characters of text

// 1, 2, ... 999, 0, 1, ... shared by both kinds of report; safe from any
// thread (no two reports draw the same number).
uint32_t NextSysLogSeq();

// Builds MSG_SYS_LOG into the buffer (at least 36 + 2 + 112 bytes), the text
// cut at 111 characters; returns the message's length.
size_t BuildSysLogMessage(uint8_t* message, int32_t level, const char* text);
// Builds MSG_SYSLOG_TEXT into the buffer (100 bytes), the text cut at 63
// characters; returns the message's length.
size_t BuildSysLogTextMessage(uint8_t* message, const char* text);

void SendSysLog(int32_t nodeId, int32_t level, const char* text);
