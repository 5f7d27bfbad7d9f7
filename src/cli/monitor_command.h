// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// rotor monitor: the communication monitor with no window. Lists every frame the box sends, one
// line (or one JSON object) each, until SIGINT, SIGTERM or SIGHUP, then sends the closing S.

class Session;
class SignalWatch;

// Returns the exit status: 0 when a signal ended it and the closing S was answered, 1 otherwise
// (the port lost, a frame that is not the box's, the closing S unanswered), 3 when the port failed.
int monitorOnConsole(Session& session, SignalWatch& watch, bool json);
