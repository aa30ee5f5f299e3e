#!/usr/bin/python3
"""A notification service for tests: owns org.freedesktop.Notifications on the
session bus of the environment, appends one JSON line per Notify call to LOG,
and then acts as a user would, as MODE says:
  keep     leaves the notification alone
  dismiss  closes it (NotificationClosed, reason 2: dismissed by the user)
  action   invokes its action ("default"), then closes it
Usage: notification_service.py LOG MODE.  Prints "ready" once the name is owned.
"""

import json
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = 'org.freedesktop.Notifications'
PATH = '/org/freedesktop/Notifications'
DISMISSED = 2
ANSWER_AFTER_MS = 300


class Service(dbus.service.Object):
    def __init__(self, bus, log, mode):
        super().__init__(bus, PATH)
        self.log, self.mode, self.last_id = log, mode, 0

    @dbus.service.method(NAME, in_signature='', out_signature='as')
    def GetCapabilities(self):
        return ['actions', 'body']

    @dbus.service.method(NAME, in_signature='', out_signature='ssss')
    def GetServerInformation(self):
        return ('test-notifications', 'Mindrel tests', '1.0', '1.2')

    @dbus.service.method(NAME, in_signature='susssasa{sv}i', out_signature='u')
    def Notify(self, app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout):
        self.last_id += 1
        with open(self.log, 'a', encoding='utf-8') as log:
            log.write(json.dumps({'app_name': str(app_name), 'app_icon': str(app_icon), 'summary': str(summary),
                                  'body': str(body), 'actions': [str(a) for a in actions],
                                  'expire_timeout': int(expire_timeout)}) + '\n')
        GLib.timeout_add(ANSWER_AFTER_MS, self.answer, int(self.last_id))
        return self.last_id

    @dbus.service.method(NAME, in_signature='u', out_signature='')
    def CloseNotification(self, notification_id):
        self.NotificationClosed(notification_id, 3)

    @dbus.service.signal(NAME, signature='us')
    def ActionInvoked(self, notification_id, action_key):
        pass

    @dbus.service.signal(NAME, signature='uu')
    def NotificationClosed(self, notification_id, reason):
        pass

    def answer(self, notification_id):
        if self.mode == 'action':
            self.ActionInvoked(dbus.UInt32(notification_id), 'default')
        if self.mode in ('action', 'dismiss'):
            self.NotificationClosed(dbus.UInt32(notification_id), dbus.UInt32(DISMISSED))
        return False


def main(log, mode):
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    name = dbus.service.BusName(NAME, bus, do_not_queue=True)
    service = Service(bus, log, mode)
    print('ready', flush=True)
    GLib.MainLoop().run()
    del name, service


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
