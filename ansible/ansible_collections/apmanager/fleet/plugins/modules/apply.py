# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Access Point Management authors
# MIT License (see LICENSE)

from __future__ import absolute_import, division, print_function
__metaclass__ = type

DOCUMENTATION = r'''
---
module: apply
short_description: Re-address wireless access points from a plan with apctl
version_added: 1.11.0
description:
  - Runs C(apctl apply --json) on the managed host, which must be on the access points' local
    networks. It discovers once, then gives each access point in turn its planned
    configuration by broadcast, addressed by its MAC, resets it and verifies it.
  - A fixed row whose access point already answers from its planned address is left
    C(unchanged) and nothing is sent to it. A DHCP row is sent on every run, since a discovery
    cannot tell whether an access point is already a DHCP client.
  - The task is C(changed) exactly when a row was changed. A row that C(failed), was
    C(not found) or was C(skipped) fails the task, with every row in the result.
  - The whole plan is checked before anything is sent; an error in it fails the task with
    apctl's messages and nothing sent.
options:
  plan:
    description:
      - Path on the managed host of a CSV plan with the header C(mac,mode,ip,mask,gateway,dns).
      - Exactly one of O(plan) and O(rows) is given.
    type: path
  rows:
    description:
      - The plan as a list of rows, passed to apctl on its standard input.
      - Exactly one of O(plan) and O(rows) is given.
    type: list
    elements: dict
    suboptions:
      mac:
        description: The access point's MAC (12 hexadecimal digits, or six pairs joined by C(:) or C(-)).
        type: str
        required: true
      mode:
        description: C(fixed) for a fixed address, C(dhcp) for a DHCP client.
        type: str
        choices: [fixed, dhcp]
        default: fixed
      ip:
        description: The fixed address; not given for C(dhcp).
        type: str
      mask:
        description: The subnet mask; not given for C(dhcp).
        type: str
      gateway:
        description: The default gateway; not given for C(dhcp).
        type: str
      dns:
        description: The DNS server; not given for C(dhcp).
        type: str
  verify:
    description:
      - How long, in seconds, each row waits for its access point to answer after its reset
        (apctl's default, 90 s, when not given). Not used in check mode, where nothing is
        configured.
    type: float
extends_documentation_fragment:
  - apmanager.fleet.networks
notes:
  - B(Check mode) runs C(apctl apply --check --json) instead, which sends nothing but one
    discovery. Each row is predicted C(unchanged), C(would change) or C(not seen); the task is
    C(changed) when any row would change. A C(not seen) row (no access point with its MAC
    answered) fails the task in check mode too, as the real run would most likely fail it as
    C(not found).
  - B(Diff mode) shows, per row, the address its access point answers from before and the
    planned one after. Outside check mode that takes one more discovery before the run (a
    check), since apctl apply reports only where each access point answers afterwards.
  - apctl needs the local networks of the access points on the managed host, and sends
    broadcasts there; it does not need root.
requirements:
  - apctl (from the apmanager package) on the managed host
seealso:
  - module: apmanager.fleet.discover
author:
  - Access Point Management maintainers (@apmanager)
attributes:
  check_mode:
    description: Predicts each row from one discovery and sends nothing else.
    support: full
  diff_mode:
    description: Each row's address before and its planned one after.
    support: full
'''

EXAMPLES = r'''
- name: Give the access points of the ground floor their addresses
  apmanager.fleet.apply:
    plan: /etc/apmanager/ground-floor.csv
    interfaces: [eth1]

- name: The same from rows in the playbook, verified within 60 s each
  apmanager.fleet.apply:
    rows:
      - {mac: "00:0A:1B:30:00:01", ip: 10.0.0.11, mask: 255.255.255.0, gateway: 10.0.0.1, dns: 10.0.0.53}
      - {mac: "00:0A:1B:30:00:02", ip: 10.0.0.12, mask: 255.255.255.0, gateway: 10.0.0.1, dns: 10.0.0.53}
      - {mac: "000A1B300006", mode: dhcp}
    verify: 60
    parallel: true
  register: applied

- name: Which access points would change (run with --check --diff)
  apmanager.fleet.apply:
    plan: /etc/apmanager/site.csv
  check_mode: true
'''

RETURN = r'''
rows:
  description:
    - One object per row of the plan, in its order, as C(apctl apply --json) prints them.
    - In check mode as C(apctl apply --check --json) prints them.
  returned: when apctl ran the plan (also when the task failed on a row)
  type: list
  elements: dict
  contains:
    line:
      description: The row's line in the plan.
      type: int
      sample: 3
    macText:
      description: The MAC, 12 upper-case hexadecimal digits.
      type: str
      sample: 000A1B300001
    mode:
      description: C(fixed) or C(dhcp).
      type: str
      sample: fixed
    planned:
      description: The planned fixed address; null for C(dhcp).
      type: str
      sample: 10.0.0.11
    outcome:
      description:
        - C(changed), C(unchanged), C(failed), C(not found) or C(skipped).
        - In check mode C(would change), C(unchanged) or C(not seen).
      type: str
      sample: changed
    address:
      description: Where the access point answers now, as far as apctl saw; null when unknown.
      type: str
      sample: 10.0.0.11
    seconds:
      description: From its reset until it answered; null when nothing was sent or it never answered.
      type: float
      sample: 10.4
    message:
      description: What happened, in words.
      type: str
      sample: answers at 10.0.0.11 after 10.4 s
stderr:
  description: apctl's progress and diagnostics.
  returned: always
  type: str
  sample: "discovery ... 7 access points answer"
cmd:
  description: The apctl command line that ran.
  returned: always
  type: list
  elements: str
  sample: [apctl, apply, /etc/apmanager/site.csv, --json]
'''

import csv
import io

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.apmanager.fleet.plugins.module_utils.apctl import (
    NETWORK_ARGUMENT_SPEC, failure_message, network_arguments, parse_json)

PLAN_FIELDS = ('mac', 'mode', 'ip', 'mask', 'gateway', 'dns')
ADDRESS_FIELDS = ('ip', 'mask', 'gateway', 'dns')

# The outcomes that leave the task failed: the plan was not carried out there.
FAILED_OUTCOMES = ('failed', 'not found', 'skipped', 'not seen')


def plan_text(rows):
    """The rows as apctl's CSV plan; apctl checks every field itself, naming line and field."""
    out = io.StringIO()
    writer = csv.writer(out, lineterminator='\n')
    writer.writerow(PLAN_FIELDS)
    for row in rows:
        mode = row.get('mode') or 'fixed'
        fields = [row.get('mac') or '', mode]
        for name in ADDRESS_FIELDS:
            value = row.get(name)
            fields.append('' if value is None else str(value))
        writer.writerow(fields)
    return out.getvalue()


def row_diff(row):
    """One row's before and after: where it answers now, and where it is planned to."""
    before = row.get('address') or '(not seen)'
    after = row.get('planned') if row.get('mode') == 'fixed' else 'dhcp'
    name = '%s (plan line %s)' % (row.get('macText'), row.get('line'))
    return dict(before='address: %s\n' % before, after='address: %s\n' % after,
                before_header=name, after_header=name)


def main():
    argument_spec = dict(
        plan=dict(type='path'),
        rows=dict(type='list', elements='dict', options=dict(
            mac=dict(type='str', required=True),
            mode=dict(type='str', choices=['fixed', 'dhcp'], default='fixed'),
            ip=dict(type='str'),
            mask=dict(type='str'),
            gateway=dict(type='str'),
            dns=dict(type='str'),
        )),
        verify=dict(type='float'),
    )
    argument_spec.update(NETWORK_ARGUMENT_SPEC)
    module = AnsibleModule(
        argument_spec=argument_spec,
        mutually_exclusive=[('plan', 'rows')],
        required_one_of=[('plan', 'rows')],
        supports_check_mode=True,
    )
    params = module.params
    apctl = module.get_bin_path(params['apctl_path'], required=True)
    source = params['plan'] if params['plan'] is not None else '-'
    stdin = plan_text(params['rows']) if params['rows'] is not None else None
    networks = network_arguments(params)

    def run(*options):
        cmd = [apctl, 'apply', source, '--json'] + list(options) + networks
        rc, stdout, stderr = module.run_command(cmd, data=stdin, binary_data=True)
        return cmd, rc, parse_json(stdout), stderr

    checking = module.check_mode
    before = None
    if module._diff and not checking:
        # apply reports where each access point answers afterwards only: ask before.
        cmd, rc, before, stderr = run('--check')
        if rc != 0 or before is None:
            module.fail_json(msg=failure_message('apctl apply --check', rc, stderr), cmd=cmd,
                             rc=rc, stderr=stderr)
    if checking:
        cmd, rc, rows, stderr = run('--check')
    else:
        verify = [] if params['verify'] is None else ['--verify=%g' % params['verify']]
        cmd, rc, rows, stderr = run(*verify)

    result = dict(cmd=cmd, rc=rc, stderr=stderr)
    if rows is None:
        module.fail_json(msg=failure_message('apctl apply', rc, stderr), **result)
    result['rows'] = rows
    if checking:
        result['changed'] = any(row['outcome'] == 'would change' for row in rows)
    else:
        result['changed'] = any(row['outcome'] == 'changed' for row in rows)
    if module._diff:
        shown = rows if checking else before
        result['diff'] = [row_diff(row) for row in shown
                          if (row.get('address') or None) != (row.get('planned') or None)
                          or row.get('mode') == 'dhcp']
    failed = [row for row in rows if row['outcome'] in FAILED_OUTCOMES]
    if failed or rc != 0:
        what = ', '.join('%s %s' % (row['macText'], row['outcome']) for row in failed)
        module.fail_json(msg=('apctl apply: ' + what) if what
                         else failure_message('apctl apply', rc, stderr), **result)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
