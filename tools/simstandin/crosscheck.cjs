#!/usr/bin/env node
// Cross-check of the simulator stand-in with node-simconnect, a SimConnect client written by others.
// The stand-in's codec and its tests were written together, so one misreading of a layout could pass both;
// here an outside client sends the calls the program uses and reads the replies, and both sides are compared:
// what the stand-in decoded against what node was told to send, and what node decoded against what the
// stand-in was told to answer.
//
//   node crosscheck.cjs --standin PATH --modules DIR
'use strict';

const { spawn } = require('child_process');
const fs = require('fs');
const net = require('net');
const os = require('os');
const path = require('path');

function argument(name) {
    const at = process.argv.indexOf(name);
    if (at < 0 || at + 1 >= process.argv.length) {
        console.error(`crosscheck: ${name} is missing`);
        process.exit(2);
    }
    return process.argv[at + 1];
}

const standinPath = argument('--standin');
const modules = argument('--modules');
const sc = require(path.resolve(modules, 'node-simconnect'));

const STEP_LIMIT_MS = 5000;
const APP_NAME = 'Lockheed Martin\u00ae Prepar3D\u00ae v5';
const USER = { lat: 50.0333, lon: 8.5706, alt: 1364, pitchDeg: 2, bankDeg: -5, headingDeg: 90, groundSpeed: 12, lightMask: 0x105 };
const GROUND = 364;

let passed = 0;
let failed = 0;

function check(label, ok, detail) {
    if (ok) {
        passed += 1;
    } else {
        failed += 1;
        console.log(`FAIL ${label}${detail === undefined ? '' : ': ' + detail}`);
    }
}

function near(a, b) {
    return typeof a === 'number' && Math.abs(a - b) <= 1e-9 * Math.max(1, Math.abs(b));
}

// Everything node hears goes into lists; `until` waits for a condition, woken by each new message.
class Inbox {
    constructor() {
        this.lists = { event: [], frame: [], data: [], byType: [], assigned: [], addRemove: [], exception: [] };
        this.waiters = [];
    }
    push(name, value) {
        this.lists[name].push(value);
        for (const wake of this.waiters.slice()) {
            wake();
        }
    }
    until(label, predicate) {
        return new Promise((resolve) => {
            const done = (ok) => {
                clearTimeout(timer);
                this.waiters = this.waiters.filter((w) => w !== wake);
                check(label, ok, ok ? undefined : `nothing within ${STEP_LIMIT_MS} ms`);
                resolve(ok);
            };
            const wake = () => {
                if (predicate(this.lists)) {
                    done(true);
                }
            };
            const timer = setTimeout(() => done(false), STEP_LIMIT_MS);
            this.waiters.push(wake);
            wake();
        });
    }
}

// The JSON-lines control channel: one request at a time, one reply line each.
class Control {
    constructor(socketPath) {
        this.socket = net.createConnection(socketPath);
        this.buffer = '';
        this.pending = [];
        this.socket.on('data', (chunk) => {
            this.buffer += chunk.toString('utf8');
            let end;
            while ((end = this.buffer.indexOf('\n')) >= 0) {
                const line = this.buffer.slice(0, end);
                this.buffer = this.buffer.slice(end + 1);
                const next = this.pending.shift();
                if (next) {
                    next(JSON.parse(line));
                }
            }
        });
    }
    ask(command) {
        return new Promise((resolve) => {
            this.pending.push(resolve);
            this.socket.write(JSON.stringify(command) + '\n');
        });
    }
    close() {
        this.socket.end();
    }
}

function startStandin(tmp, withIpv6) {
    const args = ['--legacy', '--frames', 'manual', '--clock', 'manual', '--tcp4', '127.0.0.1:0',
        '--unix', path.join(tmp, 'sc.sock'), '--control', path.join(tmp, 'ctl.sock')];
    if (withIpv6) {
        args.push('--tcp6', '[::1]:0');
    }
    const child = spawn(standinPath, args, { stdio: ['ignore', 'pipe', 'pipe'] });
    return new Promise((resolve) => {
        let out = '';
        let err = '';
        child.stdout.on('data', (chunk) => {
            out += chunk.toString();
            const end = out.indexOf('\n');
            if (end >= 0) {
                resolve({ child, ports: JSON.parse(out.slice(0, end)) });
            }
        });
        child.stderr.on('data', (chunk) => { err += chunk.toString(); });
        child.on('exit', (code) => resolve({ child: null, error: `exit ${code}: ${err.trim()}` }));
    });
}

function listen(handle, inbox) {
    handle.on('event', (e) => inbox.push('event', e));
    handle.on('eventFrame', (e) => inbox.push('frame', e));
    handle.on('simObjectData', (e) => inbox.push('data', e));
    handle.on('simObjectDataByType', (e) => inbox.push('byType', e));
    handle.on('assignedObjectID', (e) => inbox.push('assigned', e));
    handle.on('eventAddRemove', (e) => inbox.push('addRemove', e));
    handle.on('exception', (e) => inbox.push('exception', e));
}

const DEFINITIONS = [
    [402, 'Plane Latitude', 'degree', 4], [402, 'Plane Longitude', 'degree', 4],
    [402, 'Plane Pitch degrees', 'radians', 4], [402, 'Plane Bank degrees', 'radians', 4],
    [402, 'Plane Heading degrees true', 'radians', 4], [402, 'Plane Altitude', 'feet', 4],
    [402, 'Vertical Speed', 'feet per second', 4], [402, 'Airspeed True', 'knots', 4],
    [403, 'Plane Latitude', 'degree', 4], [403, 'Plane Longitude', 'degree', 4],
    [403, 'Plane Pitch degrees', 'radians', 4], [403, 'Plane Bank degrees', 'radians', 4],
    [403, 'Plane Heading degrees true', 'radians', 4], [403, 'Plane Altitude', 'feet', 4],
    [403, 'Plane Alt Above Ground', 'feet', 4], [403, 'Ground Velocity', 'knots', 4],
    [403, 'ZULU TIME', 'Seconds', 2], [403, 'ZULU DAY OF YEAR', 'Number', 2], [403, 'ZULU YEAR', 'Number', 2],
    [403, 'LIGHT STATES', 'Mask', 2],
    [404, 'Plane Alt Above Ground', 'feet', 4], [404, 'Ground Altitude', 'feet', 4],
    [404, 'SIM ON GROUND', 'Bool', 2], [404, 'ATC ID', null, 6],
    [407, 'TITLE', null, 11],
];

// One client over one transport: the program's calls, then both sides compared.
async function runTransport(label, connect, control, tmp) {
    const inbox = new Inbox();
    const expected = []; // what node was told to send, packet by packet
    const sent = (sendId, id, size, fields) => expected.push({ sendId, id, size, fields });
    const t = (text) => `${label}: ${text}`;

    const { handle, recvOpen } = await connect();
    listen(handle, inbox);
    sent(0, 0xF0000001, 296, { appName: 'crosscheck', alias: 0x46535800, version: [10, 0, 61259, 0] });
    check(t('open reply name'), recvOpen.applicationName === APP_NAME, JSON.stringify(recvOpen.applicationName));
    const versions = [recvOpen.applicationVersionMajor, recvOpen.applicationVersionMinor, recvOpen.applicationBuildMajor,
        recvOpen.applicationBuildMinor, recvOpen.simConnectVersionMajor, recvOpen.simConnectVersionMinor,
        recvOpen.simConnectBuildMajor, recvOpen.simConnectBuildMinor, recvOpen.reserved1, recvOpen.reserved2];
    check(t('open reply versions'), JSON.stringify(versions) === '[5,3,12,28584,5,3,12,28584,0,0]', JSON.stringify(versions));
    const connection = (await control.ask({ cmd: 'connections' })).connections.filter((c) => c.open).pop().id;

    for (const [id, name] of [[201, 'Sim'], [204, 'Frame'], [202, 'ObjectAdded'], [203, 'ObjectRemoved']]) {
        sent(handle.subscribeToSystemEvent(id, name), 0xF0000017, 276, { eventId: id, name });
    }
    await inbox.until(t('"Sim" event with data 1'), (l) => l.event.some((e) =>
        e.clientEventId === 201 && e.data === 1 && e.groupID === 0xFFFFFFFF));
    for (const [define, name, units, type] of DEFINITIONS) {
        sent(handle.addToDataDefinition(define, name, units, type, 0, sc.SimConnectConstants.UNUSED), 0xF000000C, 544,
            { defineId: define, name, units: units || '', type, epsilon: 0, datumId: 0xFFFFFFFF });
    }
    sent(handle.mapClientEventToSimEvent(218, 'FLAPS_SET'), 0xF0000004, 276, { eventId: 218, name: 'FLAPS_SET' });
    sent(handle.addClientEventToNotificationGroup(301, 218, true), 0xF0000007, 28, { groupId: 301, eventId: 218, maskable: 1 });
    sent(handle.setNotificationGroupPriority(301, 1), 0xF0000009, 24, { groupId: 301, priority: 1 });

    // The user aircraft once, on object 0.
    sent(handle.requestDataOnSimObject(109, 403, 0, sc.SimConnectPeriod.ONCE, 0, 0, 0, 0), 0xF000000E, 48,
        { requestId: 109, defineId: 403, objectId: 0, period: 1, flags: 0, origin: 0, interval: 0, limit: 0 });
    if (await inbox.until(t('user data'), (l) => l.data.length > 0)) {
        const d = inbox.lists.data[0];
        check(t('user data header'), d.requestID === 109 && d.objectID === 1 && d.defineID === 403 &&
            d.entryNumber === 1 && d.outOf === 1 && d.defineCount === 12, JSON.stringify(d));
        const deg = Math.PI / 180;
        const values = [d.data.readFloat64(), d.data.readFloat64(), d.data.readFloat64(), d.data.readFloat64(),
            d.data.readFloat64(), d.data.readFloat64(), d.data.readFloat64(), d.data.readFloat64()];
        const wanted = [USER.lat, USER.lon, USER.pitchDeg * deg, USER.bankDeg * deg, USER.headingDeg * deg, USER.alt,
            USER.alt - GROUND, USER.groundSpeed];
        check(t('user data values'), values.every((v, k) => near(v, wanted[k])), JSON.stringify(values));
        const integers = [d.data.readInt64(), d.data.readInt64(), d.data.readInt64(), d.data.readInt64()];
        check(t('user data zulu time, day, year and lights'), JSON.stringify(integers) === JSON.stringify([3600, 1, 2024, 0x105]),
            JSON.stringify(integers));
    }

    // Aircraft in range before and after a creation.
    const byType = async (radius, count, what) => {
        const start = inbox.lists.byType.length;
        sent(handle.requestDataOnSimObjectType(101, 404, radius, sc.SimObjectType.AIRCRAFT), 0xF000000F, 32,
            { requestId: 101, defineId: 404, radius, objectType: 2 });
        if (!(await inbox.until(t(`${what}: ${count} entries by type`), (l) => l.byType.length >= start + count))) {
            return [];
        }
        return inbox.lists.byType.slice(start, start + count).map((m, k) => {
            check(t(`${what}: entry ${k + 1} of ${count}`), m.requestID === 101 && m.defineID === 404 &&
                m.entryNumber === k + 1 && m.outOf === count && m.defineCount === 4, JSON.stringify(m));
            const agl = m.data.readFloat64();
            const ground = m.data.readFloat64();
            const onGround = m.data.readInt64();
            return { id: m.objectID, agl, ground, onGround, atcId: m.data.readString32() };
        });
    };
    const alone = await byType(50000, 1, 'before the creation');
    check(t('the user alone in range'), alone.length === 1 && alone[0].id === 1 && alone[0].atcId === 'D-ASTA' &&
        near(alone[0].agl, USER.alt - GROUND) && near(alone[0].ground, GROUND), JSON.stringify(alone));

    const init = new sc.InitPosition();
    Object.assign(init, { latitude: 50.0335, longitude: 8.571, altitude: 364, pitch: 0, bank: 0, heading: 250,
        onGround: true, airspeed: 0 });
    const createId = handle.aICreateNonATCAircraft('Airbus A320 Lufthansa', 'DLH4AB', init, 104);
    sent(createId, 0xF0000029, 344, { title: 'Airbus A320 Lufthansa', tailNumber: 'DLH4AB', lat: 50.0335, lon: 8.571,
        alt: 364, pitch: 0, bank: 0, heading: 250, onGround: 1, airspeed: 0, requestId: 104 });
    await inbox.until(t('assigned object id and ObjectAdded'), (l) => l.assigned.length > 0 && l.addRemove.length > 0);
    const assigned = inbox.lists.assigned[0] || {};
    const oid = assigned.objectID;
    check(t('assigned object id'), assigned.requestID === 104 && oid >= 100, JSON.stringify(assigned));
    const added = inbox.lists.addRemove[0] || {};
    check(t('ObjectAdded'), added.clientEventId === 202 && added.data === oid && added.type === 2 &&
        added.groupID === 0xFFFFFFFF, JSON.stringify(added));
    const both = await byType(50000, 2, 'after the creation');
    check(t('user and the new aircraft in range'), both.length === 2 && both[0].id === 1 && both[1].id === oid &&
        both[1].atcId === 'DLH4AB' && both[1].onGround === 1, JSON.stringify(both));

    // A position written to the new aircraft, a command, the release and a flight plan.
    const position = [50.01, 8.52, 0.05, -0.1, 1.5, 1200, 12.5, 160];
    const buffer = new sc.RawBuffer(64);
    position.forEach((v) => buffer.writeFloat64(v));
    sent(handle.setDataOnSimObject(402, oid, { buffer, arrayCount: 0, tagged: false }), 0xF0000010, 100,
        { defineId: 402, objectId: oid, flags: 0, count: 1, unitSize: 64, data: buffer.getBuffer().toString('hex') });
    sent(handle.transmitClientEvent(oid, 218, 16383, 301, 0), 0xF0000005, 36,
        { objectId: oid, eventId: 218, data: 16383, groupId: 301, flags: 0 });
    sent(handle.aIReleaseControl(oid, 103), 0xF000002B, 24, { objectId: oid, requestId: 103 });
    const planPath = path.join(tmp, `${label.replace(/\W/g, '')}.pln`);
    fs.writeFileSync(planPath, '<?xml version="1.0" encoding="UTF-8"?>\n<SimBase.Document Type="AceXML" version="4,3">\n' +
        '<FlightPlan.FlightPlan>\n<FPType>IFR</FPType>\n<DepartureID>EDDF</DepartureID>\n' +
        '<DestinationID>KJFK</DestinationID>\n</FlightPlan.FlightPlan>\n</SimBase.Document>\n\n');
    sent(handle.aISetAircraftFlightPlan(oid, planPath, 110), 0xF000002D, 284, { objectId: oid, path: planPath, requestId: 110 });

    // An exception of the stand-in's own, then one injected through the control channel.
    const badId = handle.requestDataOnSimObject(111, 403, 55, sc.SimConnectPeriod.ONCE, 0, 0, 0, 0);
    sent(badId, 0xF000000E, 48, { requestId: 111, defineId: 403, objectId: 55, period: 1 });
    await inbox.until(t('exception for object 55'), (l) => l.exception.some((e) =>
        e.exception === 3 && e.sendId === badId && e.index === 3));
    await control.ask({ cmd: 'injectException', code: 22, sendId: createId, index: 1, connection });
    await inbox.until(t('injected exception 22'), (l) => l.exception.some((e) =>
        e.exception === 22 && e.sendId === createId && e.index === 1));

    await control.ask({ cmd: 'stepFrames', count: 2 });
    if (await inbox.until(t('two frames'), (l) => l.frame.length >= 2)) {
        const frames = inbox.lists.frame.slice(0, 2);
        check(t('frame rate and sim speed'), frames.every((f) => f.clientEventId === 204 && f.frameRate === 30 &&
            f.simSpeed === 1), JSON.stringify(frames));
    }

    // The stand-in's view of the new aircraft before it goes.
    const object = (await control.ask({ cmd: 'objects' })).objects.find((o) => o.id === oid) || {};
    check(t('released and flaps set'), object.released === true && object.flaps === 16383, JSON.stringify(object));
    const samples = (await control.ask({ cmd: 'positions', objectId: oid })).samples;
    const last = samples[samples.length - 1] || {};
    check(t('written position'), JSON.stringify([last.lat, last.lon, last.pitch, last.bank, last.heading, last.alt,
        last.verticalSpeed, last.airspeed]) === JSON.stringify(position), JSON.stringify(last));
    const events = (await control.ask({ cmd: 'clientEvents', objectId: oid })).events;
    check(t('client event'), events.length === 1 && events[0].event === 'FLAPS_SET' && events[0].data === 16383 &&
        events[0].groupId === 301, JSON.stringify(events));
    const plan = (await control.ask({ cmd: 'flightPlans' })).flightPlans.filter((p) => p.connection === connection).pop() || {};
    check(t('flight plan'), plan.accepted && plan.objectId === oid && plan.type === 'IFR' && plan.departure === 'EDDF' &&
        plan.destination === 'KJFK', JSON.stringify(plan));

    sent(handle.aIRemoveObject(oid, 105), 0xF000002C, 24, { objectId: oid, requestId: 105 });
    await inbox.until(t('ObjectRemoved'), (l) => l.addRemove.some((e) =>
        e.clientEventId === 203 && e.data === oid && e.type === 2));

    // What the stand-in decoded, packet by packet, against what node was told to send.
    await control.ask({ cmd: 'waitPackets', id: 0x2C, count: 1, timeoutMs: STEP_LIMIT_MS });
    const packets = (await control.ask({ cmd: 'packets', connection })).packets;
    check(t('packet count'), packets.length === expected.length, `${packets.length} of ${expected.length}`);
    expected.sort((a, b) => a.sendId - b.sendId);
    expected.forEach((want, k) => {
        const got = packets[k] || { fields: {} };
        const same = got.sendId === k && got.sendId === want.sendId && got.id === want.id && got.size === want.size &&
            got.version === 4 && Object.entries(want.fields).every(([key, value]) =>
            JSON.stringify(got.fields[key]) === JSON.stringify(value));
        check(t(`packet ${k} (${got.kind})`), same, `stand-in ${JSON.stringify(got)} node ${JSON.stringify(want)}`);
    });
    const violations = (await control.ask({ cmd: 'violations' })).violations.filter((v) => v.connection === connection);
    check(t('no violations'), violations.length === 0, JSON.stringify(violations));
    handle.close();
}

function connectTcp(host, port) {
    return () => sc.open('crosscheck', sc.Protocol.FSX_SP2, { host, port });
}

function connectPipe(address) {
    return () => new Promise((resolve, reject) => {
        const handle = new sc.SimConnectConnection('crosscheck', sc.Protocol.FSX_SP2);
        handle.on('open', (recvOpen) => resolve({ handle, recvOpen }));
        handle.on('error', reject);
        handle._clientSocket.connect({ type: 'pipe', address });
    });
}

async function main() {
    const tmp = fs.mkdtempSync(path.join(os.tmpdir(), 'simstandin-crosscheck-'));
    let started = await startStandin(tmp, true);
    if (!started.child) {
        console.log(`[::1] skipped: ${started.error}`);
        started = await startStandin(tmp, false);
    }
    if (!started.child) {
        console.log(`FAIL the stand-in did not start: ${started.error}`);
        process.exit(1);
    }
    const { child, ports } = started;
    const control = new Control(ports.control);
    await control.ask({ cmd: 'setGround', feet: GROUND });
    await control.ask({ cmd: 'setUser', ...USER });
    const transports = [['tcp 127.0.0.1', connectTcp('127.0.0.1', ports.tcp4)]];
    if (ports.tcp6 !== null) {
        transports.push(['tcp [::1]', connectTcp('::1', ports.tcp6)]);
    }
    transports.push(['AF_UNIX', connectPipe(ports.unix)]);
    for (const [label, connect] of transports) {
        try {
            await runTransport(label, connect, control, tmp);
        } catch (error) {
            check(`${label}: runs to the end`, false, error && error.stack ? error.stack : String(error));
        }
    }
    await control.ask({ cmd: 'shutdown' });
    control.close();
    await new Promise((resolve) => (child.exitCode !== null ? resolve() : child.on('exit', resolve)));
    check('the stand-in exits 0', child.exitCode === 0, `exit ${child.exitCode}`);
    fs.rmSync(tmp, { recursive: true, force: true });
    console.log(`${passed} passed, ${failed} failed`);
    process.exit(failed === 0 ? 0 : 1);
}

main();
