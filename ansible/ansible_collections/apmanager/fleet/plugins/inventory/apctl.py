# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Access Point Management authors
# MIT License (see LICENSE)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
name: apctl
short_description: The wireless access points apctl discovers, as hosts
version_added: 1.11.0
description:
  - Runs C(apctl discover --json) on the controller, or reads a saved discovery
    (C(discovery_file)), and adds each access point as a host.
  - The host is named by its MAC (or its name, C(hostname)); C(ansible_host) is the address it
    answers from; every field of its record is a host variable, prefixed with C(prefix).
  - Groups, their names with every character but letters, digits and C(_) made C(_) -
    C(via_<local address>) for the local network it answered through (C(via_10_0_0_200)) and
    C(standard_<wireless standard>) (C(standard_802_11b_g)).
  - The configuration file's name must end in C(apctl.yml) or C(apctl.yaml).
  - What apctl says on standard error about a discovery that still succeeded (no usable
    interface, a network that failed) is shown as a warning.
  - With C(cache) on, a discovery is kept in Ansible's inventory cache and used again until it
    expires (C(cache_timeout)) or C(--flush-cache) is given, so that not every run sends one.
extends_documentation_fragment:
  - constructed
  - inventory_cache
options:
  plugin:
    description: The name of this plugin, so that it reads the file.
    type: str
    required: true
    choices: [apmanager.fleet.apctl]
  apctl_path:
    description: The apctl program on the controller.
    type: str
    default: apctl
  interfaces:
    description: Use only the addresses of these network interfaces (all usable ones when empty).
    type: list
    elements: str
    default: []
  parallel:
    description: Ask every local network at the same time.
    type: bool
    default: false
  discovery_file:
    description:
      - A file holding the output of C(apctl discover --json), read instead of discovering.
      - A relative path is taken from the configuration file's folder.
    type: str
  hostname:
    description:
      - What names a host, C(mac) (12 upper-case hexadecimal digits) or C(name).
      - With C(name), every character of the name but ASCII letters, digits, C(_), C(-) and C(.)
        becomes C(_), so that the host can be given in a pattern (C(Board room) is
        C(Board_room)); an access point whose name is then empty, or taken by another host (a
        name or any access point's MAC), is named by its MAC.
    type: str
    choices: [mac, name]
    default: mac
  prefix:
    description: What each host variable of a record field begins with.
    type: str
    default: apm_
  timeout:
    description:
      - Seconds that C(apctl discover) may take before the inventory fails. A discovery takes
        about 4 s per local network (about 4 s in all with C(parallel)).
    type: int
    default: 60
    version_added: 1.12.0
author:
  - Access Point Management maintainers (@apmanager)
'''

EXAMPLES = r'''
# site-a.apctl.yml: discover on the controller, on eth1 only
plugin: apmanager.fleet.apctl
interfaces: [eth1]
parallel: true

# cached.apctl.yml: discover at most once an hour
plugin: apmanager.fleet.apctl
interfaces: [eth1]
cache: true
cache_plugin: ansible.builtin.jsonfile
cache_connection: ~/.cache/apmanager-inventory
cache_timeout: 3600

# saved.apctl.yml: a discovery saved with `apctl discover --json > site-b.json`
plugin: apmanager.fleet.apctl
discovery_file: site-b.json
hostname: name
keyed_groups:
  - key: apm_firmwareVersion
    prefix: firmware
'''

import json
import os
import re
import signal
import subprocess

from ansible.errors import AnsibleParserError
from ansible.module_utils.common.text.converters import to_native, to_text
from ansible.plugins.inventory import BaseInventoryPlugin, Cacheable, Constructable
from ansible.utils.display import Display

display = Display()

# apctl's text for each wireless mode (the record's wirelessMode).
STANDARDS = ('802.11b', '802.11b', '802.11g', '802.11b/g',
             '802.11a', '802.11a/b', '802.11a/g', '802.11a/b/g')


def group_name(prefix, text):
    """A group name Ansible takes without a warning: letters, digits and '_'."""
    return prefix + '_' + re.sub(r'[^A-Za-z0-9_]', '_', text or 'unknown')


def host_name(name):
    """An access point's name as a host that a pattern can name: no blanks, no ':', ',', '!',
    '&', '*', '[' or '~', which patterns give a meaning of their own."""
    return re.sub(r'[^A-Za-z0-9_.-]', '_', name or '')


def host_names(records, by_name):
    """Each record's host name, by its position: its name made a host name when asked and still
    free, else its MAC. Every MAC is reserved first, so that no name takes another's."""
    taken = set(record.get('macText') for record in records)
    names = []
    for record in records:
        name = host_name(record.get('name')) if by_name else ''
        if name and name not in taken:
            taken.add(name)
            names.append(name)
        else:
            names.append(record.get('macText'))
    return names


def run_bounded(cmd, timeout):
    """(exit status, stdout, stderr) of cmd, or None when it ran past timeout seconds. apctl may
    run through a wrapper (sudo, a namespace): its whole session is stopped, not only the first
    process, so that nothing is left holding its output."""
    with subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          start_new_session=True) as process:
        try:
            stdout, stderr = process.communicate(timeout=timeout)
            return process.returncode, stdout, stderr
        except subprocess.TimeoutExpired:
            for sent in (signal.SIGTERM, signal.SIGKILL):
                try:
                    os.killpg(process.pid, sent)
                    process.communicate(timeout=5)
                    break
                except ProcessLookupError:
                    break
                except subprocess.TimeoutExpired:
                    continue
            return None


def standard_text(mode):
    if isinstance(mode, int) and 0 <= mode < len(STANDARDS):
        return STANDARDS[mode]
    return 'unknown'


class InventoryModule(BaseInventoryPlugin, Constructable, Cacheable):

    NAME = 'apmanager.fleet.apctl'

    def verify_file(self, path):
        return super(InventoryModule, self).verify_file(path) and \
            path.endswith(('apctl.yml', 'apctl.yaml'))

    def parse(self, inventory, loader, path, cache=True):
        super(InventoryModule, self).parse(inventory, loader, path, cache)
        self._read_config_data(path)
        records = self._cached_records(path, cache)
        if not isinstance(records, list):
            raise AnsibleParserError('%s: expected a JSON array of access point records' % path)
        records = [record for record in records
                   if isinstance(record, dict) and record.get('macText')]
        names = host_names(records, self.get_option('hostname') == 'name')
        for host, record in zip(names, records):
            self._add_host(host, record)

    def _cached_records(self, path, cache):
        """The records from the cache when it is on and holds them, else read (and kept)."""
        use_cache = self.get_option('cache')
        key = self.get_cache_key(path)
        if use_cache and cache:
            try:
                return self._cache[key]
            except KeyError:
                pass
        records = self._records(path)
        if use_cache:
            self._cache[key] = records
        return records

    def _add_host(self, host, record):
        prefix, strict = self.get_option('prefix'), self.get_option('strict')
        self.inventory.add_host(host)
        variables = dict((prefix + key, value) for key, value in record.items())
        variables[prefix + 'standard'] = standard_text(record.get('wirelessMode'))
        for key, value in variables.items():
            self.inventory.set_variable(host, key, value)
        if record.get('ipAddress'):
            self.inventory.set_variable(host, 'ansible_host', record['ipAddress'])
        for group in (group_name('via', record.get('localAddress')),
                      group_name('standard', variables[prefix + 'standard'])):
            self.inventory.add_group(group)
            self.inventory.add_child(group, host)
        self._set_composite_vars(self.get_option('compose'), variables, host, strict=strict)
        self._add_host_to_composed_groups(self.get_option('groups'), variables, host,
                                          strict=strict)
        self._add_host_to_keyed_groups(self.get_option('keyed_groups'), variables, host,
                                       strict=strict)

    def _records(self, path):
        saved = self.get_option('discovery_file')
        if saved:
            return self._saved_records(path, saved)
        cmd = [self.get_option('apctl_path'), 'discover', '--json']
        for name in self.get_option('interfaces') or []:
            cmd.append('--interface=' + name)
        if self.get_option('parallel'):
            cmd.append('--parallel')
        timeout = self.get_option('timeout')
        try:
            done = run_bounded(cmd, timeout)
        except OSError as error:
            raise AnsibleParserError('%s: cannot run %s: %s' % (path, cmd[0], to_native(error)))
        if done is None:
            raise AnsibleParserError('%s: %s did not finish within %d s (the timeout option)'
                                     % (path, ' '.join(cmd), timeout))
        returncode, stdout, stderr = done
        stderr = to_text(stderr, errors='surrogate_or_replace').strip()
        if returncode != 0:
            raise AnsibleParserError('%s: %s failed (exit %d): %s'
                                     % (path, ' '.join(cmd), returncode, stderr))
        # A discovery that found nothing because nothing could be asked succeeds all the same.
        for line in stderr.splitlines():
            display.warning('%s: %s' % (path, line))
        try:
            return json.loads(to_text(stdout, errors='surrogate_or_strict'))
        except ValueError as error:
            raise AnsibleParserError('%s: %s printed no JSON: %s'
                                     % (path, ' '.join(cmd), to_native(error)))

    @staticmethod
    def _saved_records(path, saved):
        saved = os.path.expanduser(saved)
        if not os.path.isabs(saved):
            saved = os.path.join(os.path.dirname(path), saved)
        try:
            with open(saved, 'rb') as source:
                return json.loads(to_text(source.read(), errors='surrogate_or_strict'))
        except (OSError, IOError, ValueError) as error:
            raise AnsibleParserError('%s: cannot read the discovery %s: %s'
                                     % (path, saved, to_native(error)))
