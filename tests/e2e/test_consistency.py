"""The rendered texts of every sample platform agree with each other: every
logical port of the port table appears once in the port map (where the chip
has one), once in the direct-port map (where the chip has one) and once in the
bitmaps; no serdes lane and no bitmap bit is used twice; the other tables name
the port table's interfaces."""
import re
import unittest

import e2ekit
from e2ekit import lines, table


def setUpModule():
    global RENDERED
    RENDERED = e2ekit.Rendered()


def tearDownModule():
    RENDERED.close()


def sections(text):
    """The "portsbcm" text as a mapping from section header to its lines."""
    out, current = {}, None
    for line in lines(text):
        if line.startswith('# '):
            current = out.setdefault(line[2:], [])
        elif line:
            current.append(line)
    return out


def assignments(section_lines, pattern):
    """(match groups) of every line of a section that matches `pattern`."""
    return [m.groups() for m in (re.match(pattern + '$', line) for line in section_lines) if m]


def expand(portlist):
    """The names of a compressed port list (xe0-xe3,ge5)."""
    names = []
    for item in portlist.split(',') if portlist else []:
        if '-' in item:
            first, last = item.split('-')
            names.extend('%s%d' % (first[:2], n) for n in range(int(first[2:]), int(last[2:]) + 1))
        else:
            names.append(item)
    return names


class Platform(object):
    """One rendered platform: its texts and, per port-table row, the
    configured port and sub-port behind it."""

    def __init__(self, name):
        self.name = name
        self.result = RENDERED.results[name]
        self.config = self.result.config
        self.chip = self.config.platform.switch.chip
        self.rows = table(RENDERED.read(name, 'porttab'))
        self.subs = [(port, sub) for port in self.config.ports for sub in range(port.num_logical_ports)]
        self.sections = sections(RENDERED.read(name, 'portsbcm'))

    def logical(self, i):
        """(unit, logical port number) of port-table row i."""
        row = self.rows[i]
        port, sub = self.subs[i]
        if self.chip.dport_capable:
            return int(row[2]), int(row[4])
        return int(row[2]), port.sdk_logical_port_num(sub)


class ConsistencyTest(unittest.TestCase):
    def each(self):
        for name in e2ekit.SAMPLES:
            yield Platform(name)

    def test_port_table_has_one_row_per_logical_port(self):
        for p in self.each():
            self.assertEqual(len(p.rows), len(p.subs), p.name)
            for row, (port, sub) in zip(p.rows, p.subs):
                self.assertEqual(row[:3], [port.linux_port_name(sub), port.sdk_intf(sub), str(port.unit)], p.name)
            names = [row[0] for row in p.rows]
            self.assertEqual(len(set(names)), len(names), '%s: Linux names' % p.name)
            sdk_names = [(row[2], row[1]) for row in p.rows]
            self.assertEqual(len(set(sdk_names)), len(sdk_names), '%s: SDK names' % p.name)
            logicals = [p.logical(i) for i in range(len(p.rows))]
            self.assertEqual(len(set(logicals)), len(logicals), '%s: logical ports' % p.name)
            if not p.chip.dport_capable:
                self.assertEqual(set(row[4] for row in p.rows), set(['-1']), p.name)

    def test_port_map_names_each_logical_port_once_and_each_lane_once(self):
        lanes_of_type = {'CGE': 4, 'XLGE': 4, '10GBase-R': 1, 'SGMII': 1}
        for p in self.each():
            portmap = p.sections.get('portmap')
            if p.chip.portmap_capable is not True:
                self.assertIsNone(portmap, p.name)
                self.assertIn('non portmap capable config', p.sections, p.name)
                continue
            wanted = sorted(p.logical(i) for i in range(len(p.rows)))
            used = []
            ucode = assignments(portmap, r'ucode_port_(\d+)\.BCM88375=([A-Za-z0-9-]+?)(\d+):core_(\d)\.(\d+)')
            if ucode:
                self.assertEqual(sorted((0, int(n)) for n, _, _, _, _ in ucode), wanted, p.name)
                for n, kind, index, core, again in ucode:
                    self.assertEqual(n, again, p.name)
                    width = lanes_of_type[kind]
                    first = int(index) * width
                    self.assertEqual(int(core), first // 4 % 2, p.name)
                    used.extend((0, lane) for lane in range(first, first + width))
            else:
                lines_ = assignments(portmap, r'portmap_(\d+)\.(\d+)=(\d+):(\d+)(?::(\d+))?')
                self.assertEqual(sorted((int(u), int(k)) for k, u, _, _, _ in lines_), wanted, p.name)
                by_logical = dict((p.logical(i), p.subs[i][0]) for i in range(len(p.rows)))
                for k, u, physical, speed, lane_count in lines_:
                    port = by_logical[(int(u), int(k))]
                    self.assertEqual(int(speed), int(port.speed), p.name)
                    if p.chip.needs_lane_config:
                        self.assertEqual(int(lane_count), port.num_lanes, p.name)
                    else:
                        self.assertIsNone(lane_count, p.name)
                    # The lanes a logical port spans: its share of its cage's
                    # lanes, or of its gang's.
                    width = len(port.physical_port.hw_ports) * port.num_ganged_ports // port.num_logical_ports
                    used.extend((int(u), lane) for lane in range(int(physical), int(physical) + width))
            twice = sorted(lane for lane in set(used) if used.count(lane) > 1)
            self.assertEqual(twice, [], '%s: lanes used twice: %s' % (p.name, twice))

    def test_direct_port_map_names_each_logical_port_once(self):
        for p in self.each():
            dport = p.sections.get('dport map')
            if p.chip.dport_capable is not True:
                self.assertIsNone(dport, p.name)
                continue
            self.assertEqual(dport[0], 'dport_map_enable=1', p.name)
            entries = assignments(dport[1:], r'dport_map_port_(\d+)\.(\d+)=(\d+)')
            self.assertEqual(len(entries), len(dport) - 1, p.name)
            found = sorted((int(u), int(k), int(n)) for k, u, n in entries)
            wanted = sorted((int(row[2]), int(row[4]), int(row[1][2:])) for row in p.rows)
            self.assertEqual(found, wanted, p.name)

    def test_bitmaps_hold_each_logical_port_once(self):
        for p in self.each():
            pbmp = p.sections['pbmp']
            xports = assignments(pbmp, r'pbmp_xport_([a-z]{2})\.(\d+)=0x([0-9a-f]+)')
            valid = dict((int(u), int(m, 16)) for u, m in assignments(pbmp, r'pbmp_valid\.(\d+)=0x([0-9a-f]+)'))
            bits = {}
            for i, (port, sub) in enumerate(p.subs):
                bit = port.sdk_pbmp(sub)
                self.assertEqual(bin(bit).count('1'), 1, p.name)
                unit, logical = p.logical(i)
                if p.chip.dport_capable:
                    self.assertEqual(bit, 1 << logical, p.name)
                self.assertFalse(bit & p.chip.base_pbmp, '%s: %s on a bit of the chip\'s own' % (p.name, p.rows[i]))
                self.assertFalse(bit & bits.get(unit, 0), '%s: bit used twice' % p.name)
                bits[unit] = bits.get(unit, 0) | bit
                kind = port.sdk_intf_prefix(sub).replace('ce', 'xe')
                holders = [k for k, u, m in xports if int(u) == unit and int(m, 16) & bit]
                self.assertEqual(holders, [] if kind == 'hg' else [kind], '%s: %s' % (p.name, p.rows[i]))
            self.assertEqual(valid, dict((u, b | p.chip.base_pbmp) for u, b in bits.items()), p.name)
            for kind, unit, mask in xports:
                self.assertEqual(int(mask, 16) & ~bits[int(unit)], 0, '%s: stray bits' % p.name)

    def test_platform_wires_each_lane_once(self):
        for p in self.each():
            seen = [(port.unit, name) for port in p.config.platform.switch.ports for name in port.hw_ports]
            self.assertEqual(len(set(seen)), len(seen), p.name)

    def test_other_tables_name_the_port_tables_interfaces(self):
        for p in self.each():
            names = [row[0] for row in p.rows]
            ethertab = table(RENDERED.read(p.name, 'ethertab'))
            self.assertEqual([row[0] for row in ethertab], names, p.name)
            self.assertEqual(len(set(row[1] for row in ethertab)), len(names), '%s: MAC indexes' % p.name)
            # A cage of a gang that does not carry the gang's port is listed
            # under a name of its own (its label, or its group's in "40G/4").
            silent = [port.linux_port_name(0) for port in p.config.ports if port.num_logical_ports == 0]
            for row in table(RENDERED.read(p.name, 'sfptab')):
                self.assertIn(row[0], names + silent, '%s: %s' % (p.name, row))
            for row in table(RENDERED.read(p.name, 'phytab')):
                self.assertIn(row[1], names, '%s: %s' % (p.name, row))
            for unit in p.config.port_units:
                script = lines(RENDERED.read(p.name, 'rcports_%d' % unit))
                self.assertTrue(script[0].startswith('setenv allports '), p.name)
                self.assertEqual(sorted(expand(script[0][len('setenv allports '):])),
                                 sorted(row[1] for row in p.rows if row[2] == str(unit)), p.name)
                speeds = [expand(line.split(' ')[2]) for line in script if re.match(r'setenv [0-9.]+Gports ', line)]
                self.assertEqual(sorted(sum(speeds, [])), sorted(expand(script[0][len('setenv allports '):])),
                                 p.name)


if __name__ == '__main__':
    unittest.main()
