#pragma once
// Console output: plain text, written at once.

void Print(const char* text);
void PrintFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
