// Prints, under node, the table that the page's WebAssembly gives for co2table's arguments
// (argv after the site folder): CSV or JSON text as the page downloads it.
'use strict';
const fs = require('fs');
const path = require('path');

async function main() {
    const [site, ...args] = process.argv.slice(2);
    const createCo2 = require(path.resolve(site, 'co2.js'));
    // Node's fetch cannot read a file path: the module is handed its bytes.
    const co2 = await createCo2({wasmBinary: fs.readFileSync(path.join(site, 'co2.wasm'))});
    const error = co2.ccall('web_grid_open', 'string', ['string', 'number'], [args.join('\n'), 1e9]);
    if (error !== '') {
        process.stderr.write('co2table: ' + error + '\n');
        process.exit(2);
    }
    const json = args.includes('json') ? 1 : 0;
    const count = co2.ccall('web_grid_count', 'number', [], []);
    const parts = [co2.ccall('web_grid_header', 'string', ['number'], [json])];
    for (let begin = 0; begin < count; begin += 500) {
        co2.ccall('web_grid_run', 'number', ['number', 'number'], [begin, Math.min(count, begin + 500)]);
        parts.push(co2.ccall(json ? 'web_grid_json' : 'web_grid_csv', 'string', [], []));
    }
    parts.push(co2.ccall('web_grid_footer', 'string', ['number'], [json]));
    process.stdout.write(parts.join(''));
}
main().catch((e) => {
    process.stderr.write(String(e && e.stack || e) + '\n');
    process.exit(1);
});
