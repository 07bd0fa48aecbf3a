# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Access Point Management authors
# MIT License (see LICENSE)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: access_point_facts
short_description: Find the wireless access points on the managed host's local networks
version_added: 1.11.0
description:
  - Named C(apmanager.fleet.discover) before 1.12.0; that name still runs this module.
  - Runs C(apctl discover --json) on the managed host, one discovery by UDP broadcast on every
    usable local IPv4 network (about 4 s each, or about 4 s in all with C(parallel)).
  - Sets the fact C(apmanager_access_points) to the records found, and returns them as
    C(access_points) too (for C(register)). Never changed.
extends_documentation_fragment:
  - apmanager.fleet.networks
notes:
  - The discovery sends only discovery requests, which change nothing, so it runs in check mode
    as well.
requirements:
  - apctl (from the apmanager package) on the managed host
seealso:
  - module: apmanager.fleet.apply
author:
  - Access Point Management maintainers (@apmanager)
attributes:
  check_mode:
    description: Runs as usual; a discovery changes nothing.
    support: full
  diff_mode:
    description: Nothing to show.
    support: none
  facts:
    description: Sets C(apmanager_access_points).
    support: full
'''

EXAMPLES = r'''
- name: Find the access points of one network
  apmanager.fleet.access_point_facts:
    interfaces: [eth1]

- name: List where each one answers
  ansible.builtin.debug:
    msg: "{{ item.name }} {{ item.macText }} at {{ item.ipAddress }}"
  loop: "{{ ansible_facts.apmanager_access_points }}"

- name: Still on the factory address?
  apmanager.fleet.access_point_facts:
    parallel: true
  register: found
  failed_when: found.access_points | selectattr('ipAddress', 'eq', '192.168.0.254') | list
'''

RETURN = r'''
access_points:
  description: One record per access point, in name order, as C(apctl discover --json) prints them.
  returned: success
  type: list
  elements: dict
  contains:
    name:
      description: Its name.
      type: str
      sample: Board room
    macText:
      description: Its MAC, 12 upper-case hexadecimal digits.
      type: str
      sample: 000A1B100004
    ipAddress:
      description: The address it answers from.
      type: str
      sample: 10.0.0.14
    localAddress:
      description: The managed host's address on the network it answered through.
      type: str
      sample: 10.0.0.200
    description:
      description: Its description.
      type: str
      sample: Second floor
    ssidBg:
      description: The SSID of its 802.11b/g band.
      type: str
    channelBg:
      description: The channel of its 802.11b/g band.
      type: int
    ssidA:
      description: The SSID of its 802.11a band.
      type: str
    channelA:
      description: The channel of its 802.11a band.
      type: int
    wirelessMode:
      description: Its wireless standard as a number (1 802.11b, 2 802.11g, 3 802.11b/g, 4 802.11a, ...).
      type: int
    firmwareVersion:
      description: Its firmware version.
      type: str
      sample: "0201"
ansible_facts:
  description: The same records as a fact.
  returned: success
  type: dict
  contains:
    apmanager_access_points:
      description: The same list as C(access_points).
      type: list
      elements: dict
'''

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.apmanager.fleet.plugins.module_utils.apctl import (
    NETWORK_ARGUMENT_SPEC, failure_message, network_arguments, parse_json)


def main():
    module = AnsibleModule(argument_spec=dict(NETWORK_ARGUMENT_SPEC), supports_check_mode=True)
    apctl = module.get_bin_path(module.params['apctl_path'], required=True)
    cmd = [apctl, 'discover', '--json'] + network_arguments(module.params)
    rc, stdout, stderr = module.run_command(cmd)
    records = parse_json(stdout)
    if rc != 0 or not isinstance(records, list):
        module.fail_json(msg=failure_message('apctl discover', rc, stderr), cmd=cmd, rc=rc,
                         stderr=stderr)
    module.exit_json(changed=False, access_points=records, cmd=cmd, stderr=stderr,
                     ansible_facts=dict(apmanager_access_points=records))


if __name__ == '__main__':
    main()
