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
    (O(discovery_file)), and adds each access point as a host.
  - The host is named by its MAC (or its name, O(hostname)); C(ansible_host) is the address it
    answers from; every field of its record is a host variable, prefixed with O(prefix).
  - Groups, their names with every character but letters, digits and C(_) made C(_) -
    C(via_<local address>) for the local network it answered through (C(via_10_0_0_200)) and
    C(standard_<wireless standard>) (C(standard_802_11b_g)).
  - The configuration file's name must end in C(apctl.yml) or C(apctl.yaml).
extends_documentation_fragment:
  - constructed
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
      - With C(name), an access point whose name is empty or taken by another is named by its MAC.
    type: str
    choices: [mac, name]
    default: mac
  prefix:
    description: What each host variable of a record field begins with.
    type: str
    default: apm_
author:
  - Access Point Management maintainers (@apmanager)
'''

EXAMPLES = r'''
# site-a.apctl.yml: discover on the controller, on eth1 only
plugin: apmanager.fleet.apctl
interfaces: [eth1]
parallel: true

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
import subprocess

from ansible.errors import AnsibleParserError
from ansible.module_utils.common.text.converters import to_native, to_text
from ansible.plugins.inventory import BaseInventoryPlugin, Constructable

# apctl's text for each wireless mode (the record's wirelessMode).
STANDARDS = ('802.11b', '802.11b', '802.11g', '802.11b/g',
             '802.11a', '802.11a/b', '802.11a/g', '802.11a/b/g')


def group_name(prefix, text):
    """A group name Ansible takes without a warning: letters, digits and '_'."""
    return prefix + '_' + re.sub(r'[^A-Za-z0-9_]', '_', text or 'unknown')


def standard_text(mode):
    if isinstance(mode, int) and 0 <= mode < len(STANDARDS):
        return STANDARDS[mode]
    return 'unknown'


class InventoryModule(BaseInventoryPlugin, Constructable):

    NAME = 'apmanager.fleet.apctl'

    def verify_file(self, path):
        return super(InventoryModule, self).verify_file(path) and \
            path.endswith(('apctl.yml', 'apctl.yaml'))

    def parse(self, inventory, loader, path, cache=False):
        super(InventoryModule, self).parse(inventory, loader, path, cache)
        self._read_config_data(path)
        records = self._records(path)
        if not isinstance(records, list):
            raise AnsibleParserError('%s: expected a JSON array of access point records' % path)
        prefix = self.get_option('prefix')
        by_name = self.get_option('hostname') == 'name'
        strict = self.get_option('strict')
        taken = set()
        for record in records:
            mac = record.get('macText')
            if not mac:
                continue
            host = mac
            if by_name and record.get('name') and record['name'] not in taken:
                host = record['name']
            taken.add(host)
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
            saved = os.path.expanduser(saved)
            if not os.path.isabs(saved):
                saved = os.path.join(os.path.dirname(path), saved)
            try:
                with open(saved, 'rb') as source:
                    return json.loads(to_text(source.read(), errors='surrogate_or_strict'))
            except (OSError, IOError, ValueError) as error:
                raise AnsibleParserError('%s: cannot read the discovery %s: %s'
                                         % (path, saved, to_native(error)))
        cmd = [self.get_option('apctl_path'), 'discover', '--json']
        for name in self.get_option('interfaces') or []:
            cmd.append('--interface=' + name)
        if self.get_option('parallel'):
            cmd.append('--parallel')
        try:
            done = subprocess.run(cmd, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                  check=False)
        except OSError as error:
            raise AnsibleParserError('%s: cannot run %s: %s' % (path, cmd[0], to_native(error)))
        stderr = to_text(done.stderr, errors='surrogate_or_replace').strip()
        if done.returncode != 0:
            raise AnsibleParserError('%s: %s failed (exit %d): %s'
                                     % (path, ' '.join(cmd), done.returncode, stderr))
        try:
            return json.loads(to_text(done.stdout, errors='surrogate_or_strict'))
        except ValueError as error:
            raise AnsibleParserError('%s: %s printed no JSON: %s'
                                     % (path, ' '.join(cmd), to_native(error)))
