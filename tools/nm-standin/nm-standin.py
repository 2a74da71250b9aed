#!/usr/bin/python3
"""Stands in for NetworkManager (and optionally firewalld) on a private D-Bus bus.

It serves one Wi-Fi device with one hotspot connection, for end-to-end tests of
the hotspot follower. It joins the bus named by DBUS_SYSTEM_BUS_ADDRESS, which
the test starts itself (`dbus-daemon --session --nofork --print-address=1`).

Usage:
  DBUS_SYSTEM_BUS_ADDRESS=ADDR nm-standin.py [--address A] [--prefix P]
      [--interface NAME] [--mode ap|adhoc|infrastructure] [--method shared|auto]
      [--private-settings] [--firewalld-zone ZONE [--firewalld-allows]]

Prints "ready" once the bus names are owned, then reads commands from stdin,
one a line, and answers each with one line on stdout:
  up          activate the hotspot               -> "up <active connection path>"
  down        deactivate it                      -> "down"
  address A   change the hotspot's IPv4 address  -> "address A"
  restart     drop the bus names, retake them ~200 ms later -> "restarted"
  quit        exit 0 (so does end of input)
A command it can't carry out is answered "error <why>" (also on stderr).
Commands run one after another: the next starts once the last is answered.
"""

import argparse
import ipaddress
import os
import signal
import sys
import xml.etree.ElementTree as ET

import dbus
import dbus.bus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

PROPS = 'org.freedesktop.DBus.Properties'
NM_NAME = 'org.freedesktop.NetworkManager'
NM_PATH = '/org/freedesktop/NetworkManager'
DEVICE = NM_NAME + '.Device'
WIRELESS = NM_NAME + '.Device.Wireless'
ACTIVE = NM_NAME + '.Connection.Active'
IP4 = NM_NAME + '.IP4Config'
SETTINGS = NM_NAME + '.Settings.Connection'
DEVICE_PATH = NM_PATH + '/Devices/1'
SETTINGS_PATH = NM_PATH + '/Settings/1'
FW_NAME = 'org.fedoraproject.FirewallD1'
FW_PATH = '/org/fedoraproject/FirewallD1'

UUID = '3f6c1e52-8b0d-4a7e-9c21-5d4b7a90e1f3'
SSID = b'Zephra'
MODE_NUMBERS = {'adhoc': 1, 'infrastructure': 2, 'ap': 3}
# NMActiveConnectionState and the reasons sent with it.
ACTIVATING, ACTIVATED, DEACTIVATING, DEACTIVATED = 1, 2, 3, 4
REASON_NONE, REASON_USER_DISCONNECTED = 1, 2

DOCTYPE = ('<!DOCTYPE node PUBLIC "-//freedesktop//DTD D-BUS Object Introspection 1.0//EN"\n'
           '"http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd">\n')


class Error(dbus.exceptions.DBusException):
    def __init__(self, name, message):
        super().__init__(message, name=name)


def U(value):
    return dbus.UInt32(value)


def paths(*items):
    return dbus.Array([dbus.ObjectPath(p) for p in items], signature='o')


def strings(*items):
    return dbus.Array([dbus.String(s) for s in items], signature='s')


def signature_of(value):
    if isinstance(value, dbus.Array):
        return 'a' + value.signature
    return {dbus.ObjectPath: 'o', dbus.String: 's', dbus.UInt32: 'u', dbus.Boolean: 'b'}[type(value)]


def later(ms, func):
    """Runs func once, ms milliseconds from now."""
    GLib.timeout_add(ms, lambda: func() or GLib.SOURCE_REMOVE)


class PropertyObject(dbus.service.Object):
    """An exported object with read-only properties, per interface."""

    def __init__(self, bus, path, props):
        super().__init__(bus, path)
        self.path = dbus.ObjectPath(path)
        self.props = props

    def update(self, interface, changes, emit=True):
        self.props[interface].update(changes)
        if emit:
            self.PropertiesChanged(interface, dbus.Dictionary(changes, signature='sv'),
                                   dbus.Array([], signature='s'))

    def _find(self, interface, name):
        for iface, props in self.props.items():
            if interface in ('', iface) and name in props:
                return props[name]
        if interface and interface not in self.props:
            raise Error('org.freedesktop.DBus.Error.UnknownInterface', f'No interface {interface}')
        raise Error('org.freedesktop.DBus.Error.UnknownProperty', f'No property {name}')

    @dbus.service.method(PROPS, in_signature='ss', out_signature='v')
    def Get(self, interface, name):
        return self._find(interface, name)

    @dbus.service.method(PROPS, in_signature='s', out_signature='a{sv}')
    def GetAll(self, interface):
        if interface not in self.props:
            raise Error('org.freedesktop.DBus.Error.UnknownInterface', f'No interface {interface}')
        return dbus.Dictionary(self.props[interface], signature='sv')

    @dbus.service.method(PROPS, in_signature='ssv')
    def Set(self, interface, name, value):
        self._find(interface, name)
        raise Error('org.freedesktop.DBus.Error.PropertyReadOnly', f'{name} is read-only')

    @dbus.service.signal(PROPS, signature='sa{sv}as')
    def PropertiesChanged(self, interface, changed, invalidated):
        pass

    @dbus.service.method(dbus.INTROSPECTABLE_IFACE, out_signature='s',
                         path_keyword='object_path', connection_keyword='connection')
    def Introspect(self, object_path, connection):
        # dbus-python lists methods and signals only; add the properties, since
        # proxies built from introspection (QDBusInterface) need them.
        node = ET.fromstring(super().Introspect(object_path, connection))
        for interface, props in self.props.items():
            elem = node.find(f"interface[@name='{interface}']")
            if elem is None:
                elem = ET.SubElement(node, 'interface', name=interface)
            for name, value in props.items():
                ET.SubElement(elem, 'property', name=name, type=signature_of(value), access='read')
        return DOCTYPE + ET.tostring(node, encoding='unicode')


class Manager(PropertyObject):
    def __init__(self, bus):
        super().__init__(bus, NM_PATH, {NM_NAME: {
            'ActiveConnections': paths(), 'Devices': paths(DEVICE_PATH),
            'State': U(20), 'Version': dbus.String('1.42.4')}})

    @dbus.service.method(NM_NAME, out_signature='ao')
    def GetDevices(self):
        return self.props[NM_NAME]['Devices']


class Device(PropertyObject):
    def __init__(self, bus, interface):
        super().__init__(bus, DEVICE_PATH, {
            DEVICE: {'Interface': dbus.String(interface), 'DeviceType': U(2), 'State': U(30),
                     'Ip4Config': dbus.ObjectPath('/'), 'ActiveConnection': dbus.ObjectPath('/')},
            WIRELESS: {'Mode': U(0)}})

    def set(self, state, mode, ip4_config, active_connection, emit=True):
        self.update(DEVICE, {'State': U(state), 'Ip4Config': dbus.ObjectPath(ip4_config),
                             'ActiveConnection': dbus.ObjectPath(active_connection)}, emit)
        self.update(WIRELESS, {'Mode': U(mode)}, emit)


class SettingsConnection(PropertyObject):
    def __init__(self, bus, args):
        super().__init__(bus, SETTINGS_PATH, {SETTINGS: {'Unsaved': dbus.Boolean(False)}})
        self.args = args

    @dbus.service.method(SETTINGS, out_signature='a{sa{sv}}')
    def GetSettings(self):
        if self.args.private_settings:
            raise Error(NM_NAME + '.Settings.PermissionDenied', 'Not authorized to read this connection')
        sections = {
            'connection': {'id': 'Hotspot', 'type': '802-11-wireless', 'uuid': UUID,
                           'interface-name': self.args.interface},
            '802-11-wireless': {'mode': self.args.mode, 'ssid': dbus.ByteArray(SSID)},
            'ipv4': {'method': self.args.method}}
        return dbus.Dictionary({k: dbus.Dictionary(v, signature='sv') for k, v in sections.items()},
                               signature='sa{sv}')


class ActiveConnection(PropertyObject):
    def __init__(self, bus, n, state, ip4_config):
        super().__init__(bus, f'{NM_PATH}/ActiveConnection/{n}', {ACTIVE: {
            'Connection': dbus.ObjectPath(SETTINGS_PATH), 'Id': dbus.String('Hotspot'),
            'Uuid': dbus.String(UUID), 'Type': dbus.String('802-11-wireless'), 'State': U(state),
            'Devices': paths(DEVICE_PATH), 'Ip4Config': dbus.ObjectPath(ip4_config)}})

    @dbus.service.signal(ACTIVE, signature='uu')
    def StateChanged(self, state, reason):
        pass

    def set_state(self, state, reason):
        self.update(ACTIVE, {'State': U(state)})
        self.StateChanged(U(state), U(reason))


class IP4Config(PropertyObject):
    def __init__(self, bus, n, address, prefix):
        super().__init__(bus, f'{NM_PATH}/IP4Config/{n}',
                         {IP4: {'AddressData': self.address_data(address, prefix), 'Gateway': dbus.String('')}})

    @staticmethod
    def address_data(address, prefix):
        entry = dbus.Dictionary({'address': dbus.String(address), 'prefix': U(prefix)}, signature='sv')
        return dbus.Array([entry], signature='a{sv}')

    def set_address(self, address, prefix):
        self.update(IP4, {'AddressData': self.address_data(address, prefix)})


class FirewallD(dbus.service.Object):
    def __init__(self, bus, args):
        super().__init__(bus, FW_PATH)
        self.interface, self.zone = args.interface, args.firewalld_zone
        services = ['dhcp', 'dns', 'ssh'] + (['zephra-wifi'] if args.firewalld_allows else [])
        self.zones = {'public': self.settings('default', ['ssh', 'dhcpv6-client'], [], []),
                      self.zone: self.settings('ACCEPT', services, ['rule priority="32767" reject'],
                                               [self.interface])}

    @staticmethod
    def settings(target, services, rules, interfaces):
        return dbus.Dictionary({
            'target': dbus.String(target), 'services': strings(*services),
            'ports': dbus.Array([], signature='(ss)'), 'rules_str': strings(*rules),
            'interfaces': strings(*interfaces)}, signature='sv')

    @dbus.service.method(FW_NAME, out_signature='s')
    def getDefaultZone(self):
        return 'public'

    @dbus.service.method(FW_NAME + '.zone', in_signature='s', out_signature='s')
    def getZoneOfInterface(self, interface):
        return self.zone if interface == self.interface else ''

    @dbus.service.method(FW_NAME + '.zone', in_signature='s', out_signature='a{sv}')
    def getZoneSettings2(self, zone):
        if zone not in self.zones:
            raise Error(FW_NAME + '.Exception', 'INVALID_ZONE')
        return self.zones[zone]


class StandIn:
    """Owns the exported objects and carries out the commands from stdin."""

    def __init__(self, bus, args, loop):
        self.bus, self.args, self.loop = bus, args, loop
        self.names = [NM_NAME] + ([FW_NAME] if args.firewalld_zone else [])
        self.manager = Manager(bus)
        self.device = Device(bus, args.interface)
        self.settings = SettingsConnection(bus, args)
        self.firewall = FirewallD(bus, args) if args.firewalld_zone else None
        self.address = args.address
        self.count = 0
        self.active = self.ip4 = None
        self.queue, self.pending, self.busy, self.running = [], b'', False, False

    def own_names(self):
        for name in self.names:
            reply = self.bus.request_name(name, dbus.bus.NAME_FLAG_DO_NOT_QUEUE)
            if reply not in (dbus.bus.REQUEST_NAME_REPLY_PRIMARY_OWNER, dbus.bus.REQUEST_NAME_REPLY_ALREADY_OWNER):
                print(f'nm-standin: could not own {name}', file=sys.stderr)
                return False
        return True

    # Input: lines are queued and run one at a time, since up, down and restart
    # answer only after a delay.
    def on_stdin(self, fd, condition):
        data = os.read(fd, 4096)
        self.pending += data
        *lines, self.pending = self.pending.split(b'\n')
        self.queue += [line.decode(errors='replace').strip() for line in lines if line.strip()]
        if not data:
            self.queue.append('quit')
        self.run()
        return bool(data)

    def run(self):
        if self.running:
            return
        self.running = True
        while self.queue and not self.busy:
            self.busy = True
            word, _, arg = self.queue.pop(0).partition(' ')
            handler = getattr(self, 'do_' + word, None)
            if handler is None or (word == 'address') != bool(arg):
                self.finish(f'error bad command: {word} {arg}'.rstrip())
            else:
                handler(arg) if arg else handler()
        self.running = False

    def finish(self, answer):
        if answer.startswith('error'):
            print('nm-standin: ' + answer[6:], file=sys.stderr)
        print(answer, flush=True)
        self.busy = False
        self.run()

    # The hotspot's objects.
    def create(self, state, emit=True):
        self.count += 1
        self.ip4 = IP4Config(self.bus, self.count, self.address, self.args.prefix)
        self.active = ActiveConnection(self.bus, self.count, state, self.ip4.path)
        self.manager.update(NM_NAME, {'ActiveConnections': paths(self.active.path)}, emit)

    def mark_up(self, emit=True):
        self.device.set(100, MODE_NUMBERS[self.args.mode], self.ip4.path, self.active.path, emit)
        self.manager.update(NM_NAME, {'State': U(70)}, emit)

    def remove(self, emit=True):
        self.manager.update(NM_NAME, {'ActiveConnections': paths(), 'State': U(20)}, emit)
        self.device.set(30, 0, '/', '/', emit)
        self.active.remove_from_connection()
        self.ip4.remove_from_connection()
        self.active = self.ip4 = None

    # Commands.
    def do_up(self):
        if self.active:
            return self.finish('up ' + self.active.path)
        self.create(ACTIVATING)

        def activated():
            self.active.set_state(ACTIVATED, REASON_NONE)
            self.mark_up()
            self.finish('up ' + self.active.path)
        later(50, activated)

    def do_down(self):
        if not self.active:
            return self.finish('down')
        self.active.set_state(DEACTIVATING, REASON_USER_DISCONNECTED)

        def deactivated():
            self.active.set_state(DEACTIVATED, REASON_USER_DISCONNECTED)
            self.remove()
            self.finish('down')
        later(50, deactivated)

    def do_address(self, address):
        try:
            self.address = ipv4(address)
        except argparse.ArgumentTypeError as e:
            return self.finish(f'error {e}')
        if self.ip4:
            self.ip4.set_address(self.address, self.args.prefix)
        self.finish('address ' + self.address)

    def do_restart(self):
        for name in self.names:
            self.bus.release_name(name)

        def back():
            if self.active:
                # A restarted NetworkManager takes the running hotspot over
                # under new object paths.
                self.remove(emit=False)
                self.create(ACTIVATED, emit=False)
                self.mark_up(emit=False)
            self.finish('restarted' if self.own_names() else 'error could not own the bus names again')
        later(200, back)

    def do_quit(self):
        self.loop.quit()


def ipv4(text):
    try:
        return str(ipaddress.IPv4Address(text))
    except ValueError:
        raise argparse.ArgumentTypeError(f'not an IPv4 address: {text}') from None


def main():
    parser = argparse.ArgumentParser(description='Stands in for NetworkManager on a private bus.')
    parser.add_argument('--address', type=ipv4, metavar='A', default='10.42.0.1')
    parser.add_argument('--prefix', type=int, choices=range(33), metavar='P', default=24)
    parser.add_argument('--interface', metavar='NAME', default='wlan0')
    parser.add_argument('--private-settings', action='store_true')
    parser.add_argument('--mode', choices=sorted(MODE_NUMBERS), default='ap')
    parser.add_argument('--method', choices=['shared', 'auto'], default='shared')
    parser.add_argument('--firewalld-zone', metavar='ZONE')
    parser.add_argument('--firewalld-allows', action='store_true')
    args = parser.parse_args()
    if args.firewalld_allows and not args.firewalld_zone:
        parser.error('--firewalld-allows needs --firewalld-zone')
    address = os.environ.get('DBUS_SYSTEM_BUS_ADDRESS')
    if not address:
        print('nm-standin: DBUS_SYSTEM_BUS_ADDRESS is not set', file=sys.stderr)
        return 2

    dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
    loop = GLib.MainLoop()
    standin = StandIn(dbus.bus.BusConnection(address), args, loop)
    if not standin.own_names():
        return 1
    print('ready', flush=True)
    GLib.io_add_watch(sys.stdin.fileno(), GLib.PRIORITY_DEFAULT, GLib.IO_IN | GLib.IO_HUP, standin.on_stdin)
    for signum in (signal.SIGTERM, signal.SIGINT):
        GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signum, loop.quit)
    loop.run()
    return 0


if __name__ == '__main__':
    sys.exit(main())
