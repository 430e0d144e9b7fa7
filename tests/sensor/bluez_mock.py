#!/usr/bin/python3
"""A mocked BlueZ on a private bus, for the Bluetooth tests.

With the argument "silent-socket" it is instead a socket that takes every
connection and never says a word (a system bus that hangs), with
"silent-bluez" a private dbus-daemon on which org.bluez is owned by a
connection that never answers (a bluetoothd that hangs); either serves only
connections (as below) and quit.

Starts its own dbus-daemon (never the machine's system bus), loads
python-dbusmock's bluez5 template into it with one adapter, prints
"address <bus address>" and then serves commands from standard input, one a
line, each answered with one line ("ok", a value, or "error <text>"):

  powered 0|1                 the adapter's Powered property
  device ADDR PIN NAME...     a device in the object tree now, without a signal
                              strength (cached: it does not answer an inquiry)
  discover ADDR PIN NAME...   a device that appears when a discovery starts
  vanish ADDR                 a device that disappears while the discovery runs
  nosignal ADDR               the device's RSSI property goes (as after a discovery)
  signalled ADDR DBM          when a discovery starts, a PropertiesChanged signal
                              tells the device's strength DBM, which its RSSI
                              property does not show yet (the program reads the
                              tree before the change lands)
  signal ADDR DBM             the device's RSSI property is DBM, with no signal
                              sent (as while another program's discovery sees
                              it at a steady strength)
  noadapter                   the adapter goes away
  calls METHOD                how often the adapter's METHOD was called
  filter                      the last discovery filter set, as "key=value,..."
  askfor ADDR OTHER           the device's pairing asks the agent for OTHER's PIN
  askpasskey ADDR             the device's pairing asks the agent for a passkey
  foreignask ADDR             before the device's pairing asks the agent, another
                              bus client asks it for the PIN ("foreign answered"
                              or "foreign refused" joins the device's pins)
  pairhangs ADDR FILE         the device's pairing writes FILE and then never
                              answers (a sensor switched off: BlueZ holds the
                              call for its page time), and BlueZ with it
  busdies                     the bus goes away while the next discovery starts
  restart                     the bus and BlueZ stop and start again at the same
                              address, with the adapter and no device
  connections                 how many connections the bus has taken so far
                              (those of this command not counted)
  questions                   how often a client asked the bus whether org.bluez
                              is on it (NameHasOwner) since the first questions
                              command; every question answered before this
                              command was sent is counted
  pairs ADDR                  how often Pair was called on the device
  pins ADDR                   the PINs the program's agent answered, comma-separated
  paired ADDR                 1 when the device is paired
  trusted ADDR                1 when the device is trusted
  quit                        stops the mock and the bus

A device that appears in a discovery gets an Alias other than its Name, as
BlueZ's has once someone renamed it. Pair is replaced on every device: it asks the program's agent for the PIN
(RequestPinCode), as bluetoothd does for a device with legacy pairing, and
fails with org.bluez.Error.AuthenticationFailed on a wrong one. The agent is
found by its path, which ends in the process number of the connection that
serves it. End of input stops everything as quit does.
"""

import os
import signal
import socket
import subprocess
import sys
import tempfile
import threading

import dbus
import dbusmock
from dbusmock import DBusTestCase

ADAPTER = 'hci0'
ADAPTER_PATH = '/org/bluez/' + ADAPTER
ADAPTER_IFACE = 'org.bluez.Adapter1'
DEVICE_IFACE = 'org.bluez.Device1'

PAIR_CODE = r'''
import dbus
dev_iface = 'org.bluez.Device1'
if self.props[dev_iface]['Paired']:
    raise dbus.exceptions.DBusException('Already paired', name='org.bluez.Error.AlreadyExists')
bus = self.connection
manager = objects['/org/bluez']
agent = None
for name in bus.list_names():
    if not name.startswith(':') or name == bus.get_unique_name():
        continue
    try:
        pid = bus.call_blocking('org.freedesktop.DBus', '/org/freedesktop/DBus', 'org.freedesktop.DBus',
                                'GetConnectionUnixProcessID', 's', [name])
    except dbus.exceptions.DBusException:
        continue
    for path in manager.agent_paths:
        if str(path).endswith('_%d' % pid):
            agent = (name, str(path))
if agent is None:
    raise dbus.exceptions.DBusException('No agent', name='org.bluez.Error.AuthenticationFailed')
if FOREIGN:
    other = dbus.bus.BusConnection(FOREIGN)
    try:
        other.call_blocking(agent[0], agent[1], 'org.bluez.Agent1', 'RequestPinCode', 'o',
                            [dbus.ObjectPath(self.path)], timeout=10)
        self.pins_answered = getattr(self, 'pins_answered', []) + ['foreign answered']
    except dbus.exceptions.DBusException:
        self.pins_answered = getattr(self, 'pins_answered', []) + ['foreign refused']
    other.close()
try:
    pin = bus.call_blocking(agent[0], agent[1], 'org.bluez.Agent1', ASK_METHOD, 'o',
                            [dbus.ObjectPath(ASK_PATH or self.path)], timeout=20)
except dbus.exceptions.DBusException:
    self.pins_answered = getattr(self, 'pins_answered', []) + ['refused']
    raise dbus.exceptions.DBusException('The agent refused', name='org.bluez.Error.AuthenticationCanceled')
self.pins_answered = getattr(self, 'pins_answered', []) + [str(pin)]
if str(pin) != EXPECTED:
    raise dbus.exceptions.DBusException('Wrong PIN', name='org.bluez.Error.AuthenticationFailed')
self.props[dev_iface]['Paired'] = dbus.Boolean(True, variant_level=1)
self.paired = True
self.EmitSignal('org.freedesktop.DBus.Properties', 'PropertiesChanged', 'sa{sv}as',
                [dev_iface, {'Paired': dbus.Boolean(True, variant_level=1)}, []])
'''

PINS_CODE = "ret = ','.join(getattr(self, 'pins_answered', []))"

# Runs inside the mock: adds the devices of the inquiry, then takes out those
# that vanish, all before the discovery's reply, so the program sees them
# while its discovery runs whatever the machine's load.
START_CODE = r'''
import dbus
self.props['org.bluez.Adapter1']['Discovering'] = dbus.Boolean(True, variant_level=1)
root = objects['/']
for address, pin, name in APPEAR:
    path = root.AddDevice('hci0', address, name)
    objects[path].props['org.bluez.Device1']['Alias'] = dbus.String('alias of ' + address, variant_level=1)
    objects[path].AddMethod('org.bluez.Device1', 'Pair', '', '', PAIR.replace('EXPECTED', repr(pin))
                            .replace('ASK_METHOD', repr('RequestPinCode')).replace('ASK_PATH', 'None')
                            .replace('FOREIGN', 'None'))
    objects[path].AddMethod('org.freedesktop.DBus.Mock', 'PinsAnswered', '', 's', PINS)
for address, dbm in SIGNALLED:
    path = self.path + '/dev_' + address.replace(':', '_').upper()
    objects[path].EmitSignal('org.freedesktop.DBus.Properties', 'PropertiesChanged', 'sa{sv}as',
                             ['org.bluez.Device1', {'RSSI': dbus.Int16(dbm, variant_level=1)}, []])
for address in VANISH:
    path = self.path + '/dev_' + address.replace(':', '_').upper()
    if path in objects:
        self.RemoveObject(path)
        root.EmitSignal('org.freedesktop.DBus.ObjectManager', 'InterfacesRemoved', 'oas',
                        [dbus.ObjectPath(path), ['org.bluez.Device1']])
'''

BUS_CONFIG = '''<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>custom</type>
  <listen>unix:path={dir}/bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
'''


def pair_code(pin, method='RequestPinCode', path=None, foreign=None):
    return (PAIR_CODE.replace('EXPECTED', repr(pin)).replace('ASK_METHOD', repr(method))
            .replace('ASK_PATH', repr(path)).replace('FOREIGN', repr(foreign)))


def device_path(address):
    return ADAPTER_PATH + '/dev_' + address.replace(':', '_').upper()


def start_daemon(folder):
    """The daemon and its address, the same for every daemon of the folder
    (without the daemon's guid), so that a restarted bus is found again."""
    config = os.path.join(folder, 'bus.conf')
    with open(config, 'w') as f:
        f.write(BUS_CONFIG.format(dir=folder))
    try:
        os.unlink(os.path.join(folder, 'bus'))
    except OSError:
        pass
    daemon = subprocess.Popen(['dbus-daemon', '--config-file=' + config, '--nofork', '--print-address'],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, universal_newlines=True)
    return daemon, daemon.stdout.readline().strip().split(',guid=')[0]


def taken_connections(peer):
    """How many connections the bus at peer.address has taken, less the
    probes of this count (peer.probes)."""
    # The bus numbers its connections: a new one's name tells how many came
    # before it.
    probe = dbus.bus.BusConnection(peer.address)
    number = int(probe.get_unique_name().split('.')[-1])
    probe.close()
    peer.probes += 1
    return number - peer.probes


class Questions:
    """Counts the questions whether org.bluez is on the bus (NameHasOwner), by
    a dbus-monitor on the bus. A count is taken once a question of our own
    (a sentinel) has come through the monitor: the bus hands messages to its
    monitors in the order it takes them, so every question answered before
    the sentinel was asked is in by then."""

    def __init__(self, address, bus):
        self.bus = bus
        self.changed = threading.Condition()
        self.names = []
        self.ended = False
        self.sentinels = 0
        self.monitor = subprocess.Popen(
            ['dbus-monitor', '--address', address, '--monitor',
             "type='method_call',interface='org.freedesktop.DBus',member='NameHasOwner'"],
            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, universal_newlines=True)
        threading.Thread(target=self.read, daemon=True).start()
        # The monitor takes its place on the bus some time after it started:
        # asked until it sees a question (a hang guard of a minute).
        for _ in range(600):
            if self.sentinel(0.1) is not None:
                return
        raise RuntimeError('the bus monitor saw nothing')

    def read(self):
        asking = False
        for line in self.monitor.stdout:
            if line.startswith('method call '):
                asking = 'member=NameHasOwner' in line
                continue
            text = line.strip()
            if asking and text.startswith('string "') and text.endswith('"'):
                with self.changed:
                    self.names.append(text[len('string "'):-1])
                    self.changed.notify_all()
            asking = False
        with self.changed:
            self.ended = True
            self.changed.notify_all()

    def sentinel(self, timeout):
        """Asks about a name of our own; the names seen before it came
        through, or None when it did not within the timeout."""
        self.sentinels += 1
        name = 'qav5.sentinel.n%d' % self.sentinels
        self.bus.name_has_owner(name)
        with self.changed:
            self.changed.wait_for(lambda: name in self.names or self.ended, timeout)
            if name not in self.names:
                return None
            return self.names[:self.names.index(name)]

    def count(self):
        seen = self.sentinel(60)
        if seen is None:
            raise RuntimeError('the bus monitor went quiet')
        return seen.count('org.bluez')

    def stop(self):
        stop_processes([self.monitor])


def stop_processes(processes):
    for process in processes:
        if process is not None and process.poll() is None:
            process.terminate()
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()


def remove_folder(folder):
    for name in os.listdir(folder):
        try:
            os.unlink(os.path.join(folder, name))
        except OSError:
            pass
    os.rmdir(folder)


class SilentSocket:
    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix='qav5-silent-')
        path = os.path.join(self.dir, 'bus')
        self.listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.listener.bind(path)
        self.listener.listen(64)
        self.address = 'unix:path=' + path
        self.held = []
        threading.Thread(target=self.take, daemon=True).start()

    def take(self):
        while True:
            try:
                connection, _ = self.listener.accept()
            except OSError:
                return
            self.held.append(connection)

    def command(self, words):
        if words[0] == 'connections':
            # A connection waits in the backlog until it is taken: one the
            # program has given up on is taken all the same.
            return str(len(self.held))
        return 'error unknown command ' + words[0]

    def stop(self):
        try:
            self.listener.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass
        self.listener.close()
        for connection in self.held:
            connection.close()
        remove_folder(self.dir)


class SilentBluez:
    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix='qav5-silent-')
        self.daemon = None
        self.connection = None
        self.probes = 0
        try:
            self.daemon, self.address = start_daemon(self.dir)
            # Owned, and never served: no main loop ever reads what comes.
            self.connection = dbus.bus.BusConnection(self.address)
            self.connection.request_name('org.bluez')
        except BaseException:
            self.stop()
            raise

    def command(self, words):
        if words[0] == 'connections':
            return str(taken_connections(self))
        return 'error unknown command ' + words[0]

    def stop(self):
        if self.connection is not None:
            self.connection.close()
        stop_processes([self.daemon])
        remove_folder(self.dir)


class Mock:
    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix='qav5-bluez-')
        self.daemon = None
        self.server = None
        self.bus = None
        self.questions = None
        self.start()

    def start(self):
        try:
            self.daemon, self.address = start_daemon(self.dir)
            self.probes = 0
            os.environ['DBUS_SYSTEM_BUS_ADDRESS'] = self.address
            self.server, self.root = DBusTestCase.spawn_server_template('bluez5', {}, subprocess.DEVNULL,
                                                                         system_bus=True)
            self.bus = DBusTestCase.get_dbus(system_bus=True)
            self.root.AddAdapter(ADAPTER, 'qav5-test', dbus_interface='org.bluez.Mock')
            self.mock_iface('/').AddMethod(dbusmock.MOCK_IFACE, 'DropRssi', 'o', '',
                                           "objects[args[0]].props['org.bluez.Device1'].pop('RSSI', None)")
            self.mock_iface('/').AddMethod(dbusmock.MOCK_IFACE, 'SetRssi', 'on', '',
                                           "import dbus\n"
                                           "objects[args[0]].props['org.bluez.Device1']['RSSI'] = "
                                           "dbus.Int16(args[1], variant_level=1)")
            self.appear = []
            self.pins = {}
            self.vanish = []
            self.signalled = []
            self.set_start()
        except BaseException:
            # Nothing started here outlives a mock that could not start.
            self.stop()
            raise

    def obj(self, path):
        return self.bus.get_object('org.bluez', path)

    def mock_iface(self, path):
        return dbus.Interface(self.obj(path), dbusmock.MOCK_IFACE)

    def set_start(self):
        code = (START_CODE.replace('APPEAR', repr(self.appear)).replace('VANISH', repr(self.vanish))
                .replace('SIGNALLED', repr(self.signalled))
                .replace('PAIR.replace', repr(PAIR_CODE) + '.replace').replace('PINS)', repr(PINS_CODE) + ')'))
        self.mock_iface(ADAPTER_PATH).AddMethod(ADAPTER_IFACE, 'StartDiscovery', '', '', code)

    def add_now(self, address, pin, name):
        path = self.root.AddDevice(ADAPTER, address, name, dbus_interface='org.bluez.Mock')
        self.pins[address] = pin
        self.mock_iface(path).AddMethod(DEVICE_IFACE, 'Pair', '', '', pair_code(pin))
        self.mock_iface(path).AddMethod(dbusmock.MOCK_IFACE, 'PinsAnswered', '', 's', PINS_CODE)
        # BlueZ clears the strength of every device when a discovery ends.
        self.mock_iface('/').DropRssi(path)

    def command(self, words):
        what = words[0]
        if what == 'powered':
            props = dbus.Interface(self.obj(ADAPTER_PATH), dbus.PROPERTIES_IFACE)
            props.Set(ADAPTER_IFACE, 'Powered', dbus.Boolean(words[1] == '1'))
            return 'ok'
        if what == 'device':
            self.add_now(words[1], words[2], ' '.join(words[3:]))
            return 'ok'
        if what == 'discover':
            self.appear.append((words[1], words[2], ' '.join(words[3:])))
            self.set_start()
            return 'ok'
        if what == 'vanish':
            self.vanish.append(words[1])
            self.set_start()
            return 'ok'
        if what == 'nosignal':
            self.mock_iface('/').DropRssi(device_path(words[1]))
            return 'ok'
        if what == 'signalled':
            self.signalled.append((words[1], int(words[2])))
            self.set_start()
            return 'ok'
        if what == 'signal':
            self.mock_iface('/').SetRssi(dbus.ObjectPath(device_path(words[1])), dbus.Int16(int(words[2])))
            return 'ok'
        if what == 'noadapter':
            self.root.RemoveAdapter(ADAPTER, dbus_interface='org.bluez.Mock')
            return 'ok'
        if what == 'calls':
            return str(len(self.mock_iface(ADAPTER_PATH).GetMethodCalls(words[1])))
        if what == 'filter':
            calls = self.mock_iface(ADAPTER_PATH).GetMethodCalls('SetDiscoveryFilter')
            if not calls:
                return 'none'
            return ','.join('%s=%s' % (k, v) for k, v in sorted(calls[-1][1][0].items()))
        if what == 'busdies':
            code = 'import os, signal\nos.kill(%d, signal.SIGKILL)' % self.daemon.pid
            self.mock_iface(ADAPTER_PATH).AddMethod(ADAPTER_IFACE, 'StartDiscovery', '', '', code)
            return 'ok'
        if what == 'askfor':
            code = pair_code(self.pins[words[1]], path=device_path(words[2]))
            self.mock_iface(device_path(words[1])).AddMethod(DEVICE_IFACE, 'Pair', '', '', code)
            return 'ok'
        if what == 'askpasskey':
            code = pair_code(self.pins[words[1]], method='RequestPasskey')
            self.mock_iface(device_path(words[1])).AddMethod(DEVICE_IFACE, 'Pair', '', '', code)
            return 'ok'
        if what == 'pairhangs':
            code = ('import time\nopen(%r, "w").write("pairing")\ntime.sleep(600)' % words[2])
            self.mock_iface(device_path(words[1])).AddMethod(DEVICE_IFACE, 'Pair', '', '', code)
            return 'ok'
        if what == 'foreignask':
            code = pair_code(self.pins[words[1]], foreign=self.address)
            self.mock_iface(device_path(words[1])).AddMethod(DEVICE_IFACE, 'Pair', '', '', code)
            return 'ok'
        if what == 'connections':
            return str(taken_connections(self))
        if what == 'questions':
            if self.questions is None:
                self.questions = Questions(self.address, self.bus)
            return str(self.questions.count())
        if what == 'restart':
            self.restart()
            return 'ok'
        if what == 'pairs':
            return str(len(self.mock_iface(device_path(words[1])).GetMethodCalls('Pair')))
        if what == 'pins':
            return str(self.mock_iface(device_path(words[1])).PinsAnswered())
        if what in ('paired', 'trusted'):
            props = dbus.Interface(self.obj(device_path(words[1])), dbus.PROPERTIES_IFACE)
            value = props.Get(DEVICE_IFACE, 'Paired' if what == 'paired' else 'Trusted')
            return '1' if value else '0'
        return 'error unknown command ' + what

    def restart(self):
        self.stop_questions()
        if self.bus is not None:
            self.bus.close()
            self.bus = None
        stop_processes([self.server, self.daemon])
        self.server = self.daemon = None
        self.start()

    def stop_questions(self):
        if self.questions is not None:
            self.questions.stop()
            self.questions = None

    def stop(self):
        self.stop_questions()
        stop_processes([self.server, self.daemon])
        remove_folder(self.dir)


def main():
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    kinds = {'silent-socket': SilentSocket, 'silent-bluez': SilentBluez}
    mock = kinds[sys.argv[1]]() if len(sys.argv) > 1 else Mock()
    try:
        print('address ' + mock.address, flush=True)
        for line in sys.stdin:
            words = line.split()
            if not words:
                continue
            if words[0] == 'quit':
                break
            try:
                answer = mock.command(words)
            except dbus.exceptions.DBusException as e:
                answer = 'error ' + str(e).replace('\n', ' ')
            print(answer, flush=True)
    finally:
        mock.stop()
    print('stopped', flush=True)


if __name__ == '__main__':
    main()
