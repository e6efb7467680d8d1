"""An outside probe of the program's event loop: a debug-request notice (0x8490) dropped into
the program's notice socket is logged by the window's thread when its loop gets to it, so the
delay from sending to the logged time is how long the loop took to answer."""

import datetime
import os
import re
import socket
import struct

MAIN_INSTANCE = "{90590EAD-140B-4B7A-8FDE-29B1D6581F4A}"
DEBUG_REQUEST = 0x8490


def send_debug_notice(runtime, number):
    """Sends notice `number` (its wParam) to every process of the main role under `runtime`."""
    folder = os.path.join(runtime, "zent-notice", MAIN_INSTANCE.replace("{", "%7B").replace("}", "%7D"))
    with socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM) as s:
        for name in os.listdir(folder):
            if name.endswith(".sock"):
                try:
                    s.sendto(struct.pack("<III", DEBUG_REQUEST, number, 0), os.path.join(folder, name))
                except OSError:
                    pass


def logged_notice_times(log_text):
    """{notice number: logged time (epoch seconds)} from the program's log."""
    out = {}
    for m in re.finditer(r"^\[(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3})\]\S* DebugRequest: wParam=(\d+) ",
                         log_text, re.M):
        t = datetime.datetime.strptime(m.group(1), "%Y-%m-%d %H:%M:%S.%f").timestamp()
        out[int(m.group(2))] = t
    return out
