/* A small C client of an installed qzlink: opens COM1, asks camera 1 for its
 * ROM version, waits for the answer in a message window and prints it.
 * Exits 0 when the answer arrived. */
#include <qzlink.h>
#include <stdio.h>

static int answered = 0;

static LRESULT OnMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  (void)hwnd;
  (void)wParam;
  if (msg == AckRxMessage) {
    uint8_t frame[40];
    const int32_t length = QzGetMsg((int32_t)lParam, frame);
    printf("answer:");
    for (int32_t i = 0; i < length; ++i) {
      printf(" %02X", frame[i]);
    }
    printf("\n");
    answered = length > 0 && frame[0] == 0xFE;
  }
  return 0;
}

int main(void) {
  HWND window = QzCreateMessageWindow(OnMessage);
  int32_t systemCode = 0;
  if (window == NULL || QzOpen(window, 1, 9600, 8, 0, 0) != 1) {
    fprintf(stderr, "open failed: %d (%d)\n", QzGetLastError(&systemCode), systemCode);
    return 1;
  }
  if (QzGetRomVersion(1) != 1) {
    fprintf(stderr, "send failed: %d (%d)\n", QzGetLastError(&systemCode), systemCode);
    return 1;
  }
  for (int i = 0; i < 50 && !answered; ++i) {
    QzMsgWaitForFd(QzMessageWakeFd(), 100);
    QzDispatchMessages();
  }
  QzClose();
  DestroyWindow(window);
  return answered ? 0 : 1;
}
