/* What the C hosts share: a check that counts a failed condition, says where and goes on, and
 * an operator that counts the message boxes and keeps the last one's style. */
#pragma once
static int failures = 0, boxes = 0, last_style = -1;
#define CHECK(condition)                                                                          \
  do {                                                                                            \
    if (!(condition)) ++failures, fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #condition); \
  } while (0)
static void message_box(void* user_data, const char* text, int style, const char* title) {
  (void)user_data, (void)text, (void)title;
  ++boxes, last_style = style;
}
