// Computes a grid off the page's thread, in chunks, so the page stays responsive and shows how far
// it has got. Messages in: {args: [co2table arguments], max}; out: {progress}, {error} or {done}.
'use strict';
importScripts('co2.js');

const ready = createCo2();
const CHUNK = 200;

onmessage = async (event) => {
    const co2 = await ready;
    const str = (name, types, values) => co2.ccall(name, 'string', types || [], values || []);
    const error = str('web_grid_open', ['string', 'number'], [event.data.args.join('\n'), event.data.max]);
    if (error !== '') {
        postMessage({error});
        return;
    }
    const count = co2.ccall('web_grid_count', 'number', [], []);
    const csv = [str('web_grid_header', ['number'], [0])];
    const json = [str('web_grid_header', ['number'], [1])];
    const rows = [];
    for (let begin = 0; begin < count; begin += CHUNK) {
        const end = Math.min(count, begin + CHUNK);
        co2.ccall('web_grid_run', 'number', ['number', 'number'], [begin, end]);
        csv.push(str('web_grid_csv'));
        json.push(str('web_grid_json'));
        for (const row of JSON.parse(str('web_grid_rows'))) rows.push(row);
        postMessage({progress: end / count, done: end, count});
    }
    csv.push(str('web_grid_footer', ['number'], [0]));
    json.push(str('web_grid_footer', ['number'], [1]));
    postMessage({done: count, count, csv: csv.join(''), json: json.join(''), rows});
};
