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
    networks. It discovers once, then gives each access point its planned configuration by
    broadcast, addressed by its MAC (up to C(jobs) rows at the same time), resets it and
    verifies it.
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
      - A plan put there by an earlier task of the same play is not there in check mode, where
        that task writes nothing; give such a plan as C(plan_content) instead.
      - Exactly one of C(plan), C(plan_content) and C(rows) is given.
    type: path
  plan_content:
    description:
      - The text of a CSV plan, as in a C(plan) file, passed to apctl on its standard input; a
        plan kept on the controller, read with the C(ansible.builtin.file) lookup (see the
        examples), which works in check mode too.
      - Errors name the line of this text (C(plan_content:3)).
      - Exactly one of C(plan), C(plan_content) and C(rows) is given.
    type: str
    version_added: 1.12.0
  rows:
    description:
      - The plan as a list of rows, passed to apctl on its standard input.
      - Errors and the diff name a row by its index in this list, as written in the playbook
        (C(rows[0]) is the first).
      - Exactly one of C(plan), C(plan_content) and C(rows) is given.
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
  jobs:
    description:
      - How many rows are re-addressed at the same time (C(apctl apply --jobs)), from 1 to 256.
      - The default, 16, lets a floor's access points restart together (a plan of 16 rows takes
        about the time of one) while a site's network sees at most 16 configuration requests
        at once; 1 gives each row in turn, as apctl without C(--jobs).
      - Not used in check mode, which sends no configuration.
    type: int
    default: 16
    version_added: 1.12.0
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
  - module: apmanager.fleet.access_point_facts
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

- name: A plan kept on the controller, which check mode can read as well
  apmanager.fleet.apply:
    plan_content: "{{ lookup('ansible.builtin.file', 'plans/ground-floor.csv') }}"
    jobs: 32

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
      description: The row's line in the plan (with C(rows), its index plus 2, after the header).
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
import re
from decimal import Decimal, InvalidOperation

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.apmanager.fleet.plugins.module_utils.apctl import (
    NETWORK_ARGUMENT_SPEC, failure_message, network_arguments, parse_json)

PLAN_FIELDS = ('mac', 'mode', 'ip', 'mask', 'gateway', 'dns')
ADDRESS_FIELDS = ('ip', 'mask', 'gateway', 'dns')
# apctl's own bounds of --jobs.
JOBS_RANGE = (1, 256)
# The plan written from rows has its header on line 1: rows[0] is line 2.
FIRST_ROW_LINE = 2

# The outcomes that leave the task failed: the plan was not carried out there.
FAILED_OUTCOMES = ('failed', 'not found', 'skipped', 'not seen')


def argument_spec():
    spec = dict(
        plan=dict(type='path'),
        plan_content=dict(type='str'),
        rows=dict(type='list', elements='dict', options=dict(
            mac=dict(type='str', required=True),
            mode=dict(type='str', choices=['fixed', 'dhcp'], default='fixed'),
            ip=dict(type='str'),
            mask=dict(type='str'),
            gateway=dict(type='str'),
            dns=dict(type='str'),
        )),
        verify=dict(type='float'),
        jobs=dict(type='int', default=16),
    )
    spec.update(NETWORK_ARGUMENT_SPEC)
    return spec


def row_name(line):
    return 'rows[%d]' % (int(line) - FIRST_ROW_LINE)


def row_problems(rows):
    """What apctl could not be told about the rows: a line break or NUL would split or cut the
    CSV line a row becomes, so that its errors named another row."""
    problems = []
    for index, row in enumerate(rows):
        for name in PLAN_FIELDS:
            value = row.get(name)
            if value is not None and re.search(r'[\r\n\x00]', str(value)):
                problems.append('rows[%d].%s: holds a line break or NUL' % (index, name))
    return problems


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


def user_names(text, params):
    """apctl's messages about its standard input, naming what the user wrote instead: rows[0]
    for the first row (apctl says stdin:2), plan_content:3 for the content's line 3."""
    if params['rows'] is not None:
        text = re.sub(r'\bstdin:(\d+):', lambda m: row_name(m.group(1)) + ':', text)
        return re.sub(r'\b(also (?:planned )?)on line (\d+)',
                      lambda m: m.group(1) + 'in ' + row_name(m.group(2)), text)
    return re.sub(r'\bstdin:', 'plan_content:', text)


def decimal_text(value):
    """A number of seconds in plain decimals, the only form apctl takes (never 1e-05)."""
    try:
        return format(Decimal(repr(float(value))), 'f')
    except (InvalidOperation, ValueError):
        return str(value)


def row_diff(row, params):
    """One row's before and after: where it answers now, and where it is planned to."""
    before = row.get('address') or '(not seen)'
    after = row.get('planned') if row.get('mode') == 'fixed' else 'dhcp'
    where = (row_name(row.get('line')) if params['rows'] is not None
             else 'plan line %s' % row.get('line'))
    name = '%s (%s)' % (row.get('macText'), where)
    return dict(before='address: %s\n' % before, after='address: %s\n' % after,
                before_header=name, after_header=name)


def plan_input(module):
    """apctl's plan operand and what goes to its standard input."""
    params = module.params
    if params['plan'] is not None:
        return params['plan'], None
    if params['plan_content'] is not None:
        return '-', params['plan_content']
    problems = row_problems(params['rows'])
    if problems:
        module.fail_json(msg='; '.join(problems))
    return '-', plan_text(params['rows'])


def run_options(module):
    """apply's options for the run itself, beyond what a check takes."""
    params = module.params
    low, high = JOBS_RANGE
    if not low <= params['jobs'] <= high:
        module.fail_json(msg='jobs: %d is not from %d to %d' % (params['jobs'], low, high))
    options = ['--jobs=%d' % params['jobs']]
    if params['verify'] is not None:
        options.append('--verify=' + decimal_text(params['verify']))
    return options


def fail(module, what, result):
    """apctl's failure, its messages naming the plan as the user wrote it."""
    message = failure_message(what, result['rc'], result['stderr'])
    module.fail_json(msg=user_names(message, module.params), **result)


def diff_of(rows, module):
    return [row_diff(row, module.params) for row in rows
            if (row.get('address') or None) != (row.get('planned') or None)
            or row.get('mode') == 'dhcp']


def main():
    module = AnsibleModule(
        argument_spec=argument_spec(),
        mutually_exclusive=[('plan', 'plan_content', 'rows')],
        required_one_of=[('plan', 'plan_content', 'rows')],
        supports_check_mode=True,
    )
    apctl = module.get_bin_path(module.params['apctl_path'], required=True)
    source, stdin = plan_input(module)
    networks = network_arguments(module.params)
    checking = module.check_mode
    options = ['--check'] if checking else run_options(module)

    def run(*options):
        cmd = [apctl, 'apply', source, '--json'] + list(options) + networks
        rc, stdout, stderr = module.run_command(cmd, data=stdin, binary_data=True)
        return cmd, rc, parse_json(stdout), stderr

    before = None
    if module._diff and not checking:
        # apply reports where each access point answers afterwards only: ask before.
        cmd, rc, before, stderr = run('--check')
        if rc != 0 or before is None:
            fail(module, 'apctl apply --check', dict(cmd=cmd, rc=rc, stderr=stderr))
    cmd, rc, rows, stderr = run(*options)
    result = dict(cmd=cmd, rc=rc, stderr=stderr)
    if rows is None:
        fail(module, 'apctl apply', result)
    result['rows'] = rows
    done = 'would change' if checking else 'changed'
    result['changed'] = any(row['outcome'] == done for row in rows)
    if module._diff:
        result['diff'] = diff_of(rows if checking else before, module)
    failed = [row for row in rows if row['outcome'] in FAILED_OUTCOMES]
    if failed:
        module.fail_json(msg='apctl apply: ' + ', '.join(
            '%s %s' % (row['macText'], row['outcome']) for row in failed), **result)
    if rc != 0:
        fail(module, 'apctl apply', result)
    module.exit_json(**result)


if __name__ == '__main__':
    main()
