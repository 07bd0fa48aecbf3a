# -*- coding: utf-8 -*-
# Copyright (c) 2026 The Access Point Management authors
# MIT License (see LICENSE)
"""What the modules share: apctl's command line for the networks, and its JSON output read."""

from __future__ import absolute_import, division, print_function
__metaclass__ = type

import json

# The options every module takes, in the form of an argument_spec.
NETWORK_ARGUMENT_SPEC = dict(
    apctl_path=dict(type='str', default='apctl'),
    interfaces=dict(type='list', elements='str', default=[]),
    parallel=dict(type='bool', default=False),
)

# apctl's exit status for a usage error, where nothing was sent.
EXIT_USAGE = 2


def network_arguments(params):
    """apctl's options for the networks a module was given."""
    arguments = []
    for name in params.get('interfaces') or []:
        # The '=' form, so that a name beginning with '-' is never taken for an option.
        arguments.append('--interface=' + name)
    if params.get('parallel'):
        arguments.append('--parallel')
    return arguments


def parse_json(text):
    """apctl's --json output, or None when there is none to read (it failed before printing)."""
    if not text or not text.strip():
        return None
    try:
        return json.loads(text)
    except ValueError:
        return None


def failure_message(what, rc, stderr):
    """What apctl said on standard error: every line of a usage error (each names a plan line
    and field), else the last, the reason it gave up."""
    lines = [line for line in (stderr or '').splitlines()
             if line.strip() and not line.startswith('Try ')]
    if not lines:
        reason = 'no message'
    elif rc == EXIT_USAGE:
        reason = '; '.join(lines)
    else:
        reason = lines[-1]
    return '%s failed (exit %d): %s' % (what, rc, reason)
