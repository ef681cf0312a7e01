<?php
// Checks the account before the program sends its data file.
declare(strict_types=1);
require_once __DIR__ . '/../../../lib.php';

require_post();
check_account();
reply(200, 'OK');
